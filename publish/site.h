#pragma once
// The static site that nginx serves: what `zorbel-publish` writes from a source folder.
//
//   discovery.txt                      the base address, answer of /2/皮肤.php?name=…
//   catalog.json                       the catalogue array (index_skins.php)
//   instructions.html                  the instructions text (Instructions.php), when given
//   covers/<main>/<sub>/<cover>        index_image_download.php
//   skins/<main>/<sub>/<.pak or .sig>  index_skin_download.php
//   version.json                       the version record (/api1/)
//   files/<program file>               the new program file the record offers
//
// Files are replaced whole (a player never reads half a file), and the catalogue is
// written after everything it names, so a player who reads it finds every file it lists.
// Files that the new catalogue no longer names are removed last.

#include "app/outcome.h"
#include "publish/source_folder.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

struct SiteOptions {
    QString site_folder;
    QString origin;        // "https://skins.example.org[:port]": where players reach the server
    QString program_file;  // the new program file to offer, or empty: keep the site's record
    QString version;       // its "RIzured版本"
    QString key_path;      // update signing key (--make-keys), or empty: a checksum only
};

// The catalogue keys this publisher adds beside the program's: sizes in bytes and the
// lower-case hex SHA-256 of both files, for checking installed skins.
extern const QString PAK_SIZE_KEY;    // "pak_size"
extern const QString SIG_SIZE_KEY;    // "sig_size"
extern const QString PAK_SHA256_KEY;  // "pak_sha256"
extern const QString SIG_SHA256_KEY;  // "sig_sha256"

// What a complete publication holds and changed.
struct PublishReport {
    int skins = 0;
    int main_categories = 0;
    int subcategories = 0;
    qint64 bytes = 0;                     // skin files and covers
    QStringList added, changed, removed;  // skin names against the site's previous catalogue
    QStringList notes;                    // what else was done (version record, signature)
};

// Fails when `origin` is not usable as the players' address (http or https, a host, no path).
Outcome<void> check_origin(const QString &origin);

// Publishes `source` (already read and free of refusals) into the site folder. The folder
// must be empty, absent, or an earlier site (it holds discovery.txt): nothing else in it is
// ever deleted.
Outcome<PublishReport> publish_site(const SourceFolder &source, const SiteOptions &options);
