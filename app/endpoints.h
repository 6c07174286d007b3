#pragma once
// Server addresses. The fixed ones come from the deployment host (server_host());
// the endpoint values are written once by MainWindow::_setup_api_urls.

#include <QString>

// The discovery path; the endpoints hang below the base address it answers.
extern const QString BASE_PATH;  // "/2/皮肤.php"

extern QString BASE_API_URL;     // https://HOST/2/皮肤.php?name=Orvel (discovery)
extern QString BACKUP_BASE_URL;  // https://HOST/2/皮肤.php
extern QString SERVER_URL;       // http://HOST/api1/ (version record)

extern QString BASE_URL;
extern QString Instructions_API;
extern QString BASE_API;
extern QString SKIN_DOWNLOAD_API;
extern QString IMAGE_DOWNLOAD_API;

// Sets the fixed addresses from server_host(). Called at start (and by tests after
// they point ZORBEL_SERVER at their own server).
void init_fixed_endpoints();

// Sets BASE_URL and the four endpoint values derived from it.
void set_base_url(const QString &base);

// The address of one of a skin's files: `file_key` is "pak_original" or "sig_original".
// The catalogue's values stand as they are; the session encodes them for the wire.
QString skin_file_url(const QString &main_category, const QString &subcategory, const QString &file_key,
                      const QString &filename);

// Prefers HTTPS: an "http://" address is probed with a HEAD on its "https://" form.
QString get_secure_url(const QString &url);
