#pragma once
// The catalogue server's HTTP routes, independent of the listening socket (TLS or not).

#include <httplib.h>

#include <string>

struct RouteSettings {
    std::string data_dir;        // the served folder (layout in README.md)
    std::string default_origin;  // "https://HOST:PORT", used when a request carries no usable Host
    std::string version;         // "RIzured版本" of the version record
    int skin_rate_kib = 0;       // skin files sent at most this fast (KiB/s); 0: no limit
    long long drop_at = 0;       // the first skin answer to reach this byte of its file ends there; 0: none
    std::string update_file = "zorbel-skins-update.exe";  // file below /files/ that the version record names
};

// Path of the discovery address; every catalogue endpoint hangs below it.
extern const std::string BASE_PATH;  // "/2/皮肤.php"

// True for a query value that names one entry inside its folder: not empty, no slash or
// backslash, no NUL, not "." or "..". Anything else could leave the data folder.
bool is_plain_name(const std::string &value);

// Registers every endpoint and the request log (one line per request on stderr).
void install_routes(httplib::Server &server, const RouteSettings &settings);
