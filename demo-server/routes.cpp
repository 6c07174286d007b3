#include "routes.h"
#include "release_signature.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <thread>

namespace fs = std::filesystem;

const std::string BASE_PATH = "/2/皮肤.php";

namespace {

std::string regex_escape(const std::string &text)
{
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

std::string exact(const std::string &path)
{
    return regex_escape(path);
}

std::string lower(std::string text)
{
    for (char &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string content_type_for(const fs::path &path)
{
    const std::string extension = lower(path.extension().string());
    if (extension == ".png")
        return "image/png";
    if (extension == ".jpg" || extension == ".jpeg")
        return "image/jpeg";
    if (extension == ".gif")
        return "image/gif";
    if (extension == ".webp")
        return "image/webp";
    if (extension == ".json")
        return "application/json; charset=utf-8";
    if (extension == ".html")
        return "text/html; charset=utf-8";
    return "application/octet-stream";
}

void not_found(httplib::Response &res)
{
    res.status = 404;
    res.set_content("not found\n", "text/plain; charset=utf-8");
}

// Cuts one transfer short, as a dropped connection would, so that the client's resume can
// be tried: the first answer to reach byte `at` of its file ends there; later ones run whole.
class DropOnce {
public:
    explicit DropOnce(long long at)
        : at(at)
    {
    }
    // How many of the `wanted` bytes from `offset` are sent before the cut (all when none).
    size_t sendable(size_t offset, size_t wanted)
    {
        if (at <= 0 || offset >= size_t(at) || offset + wanted <= size_t(at) || dropped.exchange(true))
            return wanted;
        return size_t(at) - offset;
    }

private:
    const long long at;
    std::atomic_bool dropped{false};
};

// Streams the file from disk in slices, so a 100 MB skin never sits in memory. HEAD is
// answered from the same handler: the length is announced and no slice is read. A range
// request gets its part (206): httplib hands the provider offsets into the whole file.
void serve_file(httplib::Response &res, const fs::path &path, int rate_kib = 0,
                const std::shared_ptr<DropOnce> &drop = nullptr)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        not_found(res);
        return;
    }
    const auto size = fs::file_size(path, error);
    auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
    if (error || !*file) {
        not_found(res);
        return;
    }
    const std::string type = content_type_for(path);
    if (size == 0) {
        res.set_content("", type);
        return;
    }
    res.set_content_provider(
        size_t(size), type, [file, rate_kib, drop, path](size_t offset, size_t length, httplib::DataSink &sink) {
            char slice[64 * 1024];
            const size_t whole = std::min(length, sizeof slice);
            const size_t wanted = drop ? drop->sendable(offset, whole) : whole;
            const bool cut = wanted < whole;
            // A slow line on demand, so that a download can be watched on a fast loopback.
            if (rate_kib > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(wanted * 1000000 / (size_t(rate_kib) * 1024)));
            file->clear();
            file->seekg(std::streamoff(offset));
            file->read(slice, std::streamsize(wanted));
            // A file that shrank meanwhile ends the answer early instead of padding it.
            if (size_t(file->gcount()) != wanted)
                return false;
            if (!sink.write(slice, wanted))
                return false;
            if (cut) {
                const std::string line = "dropping the transfer of " + path.filename().u8string() + " at byte "
                                         + std::to_string(offset + wanted) + "\n";
                std::fwrite(line.data(), 1, line.size(), stderr);
            }
            return !cut;
        });
}

// DATA/<area>/<MainCategory>/<subcategory>/<name>, or an empty path when a value is unsafe.
fs::path catalogue_file(const RouteSettings &settings, const char *area, const httplib::Request &req,
                        const std::string &name)
{
    const std::string main_category = req.get_param_value("MainCategory");
    const std::string subcategory = req.get_param_value("subcategory");
    if (!is_plain_name(main_category) || !is_plain_name(subcategory) || !is_plain_name(name))
        return {};
    return fs::u8path(settings.data_dir) / area / fs::u8path(main_category) / fs::u8path(subcategory)
           / fs::u8path(name);
}

// The origin the client reached us by, so that the addresses we hand out work from its side.
std::string origin_of(const httplib::Request &req, const RouteSettings &settings)
{
    static const std::regex host_shape(R"(^[A-Za-z0-9.\-]+(:[0-9]+)?$|^\[[0-9A-Fa-f:.]+\](:[0-9]+)?$)");
    const std::string host = req.get_header_value("Host");
    if (host.empty() || !std::regex_match(host, host_shape))
        return settings.default_origin;
    return "https://" + host;
}

std::string json_escape(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

std::string query_text(const httplib::Request &req)
{
    std::string text;
    for (const auto &[key, value] : req.params)
        text += (text.empty() ? "?" : "&") + key + "=" + value;
    return text;
}

void log_request(const httplib::Request &req, const httplib::Response &res)
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    const std::string line = std::string(stamp) + " " + req.method + " " + req.path + query_text(req) + " -> "
                             + std::to_string(res.status) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

bool is_plain_name(const std::string &value)
{
    return !value.empty() && value != "." && value != ".."
           && value.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

void install_routes(httplib::Server &server, const RouteSettings &settings)
{
    const fs::path data = fs::u8path(settings.data_dir);

    server.Get(exact(BASE_PATH), [settings](const httplib::Request &req, httplib::Response &res) {
        res.set_content(origin_of(req, settings) + BASE_PATH, "text/plain; charset=utf-8");
    });

    server.Get(exact(BASE_PATH + "/Instructions.php"), [data](const httplib::Request &, httplib::Response &res) {
        serve_file(res, data / "instructions.html");
    });

    server.Get(exact(BASE_PATH + "/index_skins.php"),
               [data](const httplib::Request &, httplib::Response &res) { serve_file(res, data / "catalog.json"); });

    server.Get(exact(BASE_PATH + "/subcutaneous/index_image_download.php"),
               [settings](const httplib::Request &req, httplib::Response &res) {
                   const fs::path path = catalogue_file(settings, "covers", req, req.get_param_value("cover"));
                   if (path.empty())
                       not_found(res);
                   else
                       serve_file(res, path);
               });

    const auto drop = std::make_shared<DropOnce>(settings.drop_at);
    server.Get(exact(BASE_PATH + "/subcutaneous/index_skin_download.php"),
               [settings, drop](const httplib::Request &req, httplib::Response &res) {
                   const std::string name = req.has_param("pak_original") ? req.get_param_value("pak_original")
                                                                          : req.get_param_value("sig_original");
                   const fs::path path = catalogue_file(settings, "skins", req, name);
                   if (path.empty())
                       not_found(res);
                   else
                       serve_file(res, path, settings.skin_rate_kib, drop);
               });

    server.Get(exact("/api1/"), [settings, data](const httplib::Request &req, httplib::Response &res) {
        // A signature made with --sign travels with the record.
        const std::string signature =
            signature_members(QString::fromStdString((data / "files" / fs::u8path(settings.update_file)).u8string()));
        const std::string body = "{\"RIzured版本\": \"" + json_escape(settings.version) + "\", \"RIzured下载地址\": \""
                                 + json_escape(origin_of(req, settings)) + "/files/" + json_escape(settings.update_file)
                                 + "\"" + signature + "}";
        res.set_content(body, "application/json; charset=utf-8");
    });

    // The program file that the version record points at, for trying the update path.
    server.Get(R"(/files/([^/]+))", [data](const httplib::Request &req, httplib::Response &res) {
        const std::string name = req.matches[1];
        if (!is_plain_name(name))
            not_found(res);
        else
            serve_file(res, data / "files" / fs::u8path(name));
    });

    server.set_logger(log_request);
}
