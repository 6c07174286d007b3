#include "publish/site_version.h"

#include "publish/site_files.h"
#include "update/update_script.h"
#include "update/update_signing.h"
#include "update/update_statement.h"
#include "update/version.h"

#include <QFileInfo>
#include <QJsonDocument>

const QString VERSION_RECORD_FILE = QStringLiteral("version.json");
const QString PROGRAM_FOLDER = QStringLiteral("files");

namespace {

Outcome<OfferedProgram> keep_record(const QDir &site, const SiteOptions &options)
{
    const QString record_path = site.filePath(VERSION_RECORD_FILE);
    QJsonObject record = read_json_object(record_path);
    if (record.isEmpty()) {
        record.insert(VERSION_KEY, CURRENT_VERSION);
        record.insert(DOWNLOAD_URL_KEY, QString());
        const Outcome<void> saved = save_file(record_path, QJsonDocument(record).toJson());
        if (!saved.ok())
            return Failure{saved.error};
    }
    OfferedProgram offered;
    const QString url = record.value(DOWNLOAD_URL_KEY).toString();
    if (url.startsWith(options.origin + QStringLiteral("/files/")))
        offered.file = PROGRAM_FOLDER + QLatin1Char('/') + url.section(QLatin1Char('/'), -1);
    return offered;
}

Outcome<void> check_program(const SiteOptions &options, const QString &file_name)
{
    // The player's program takes the file under this name, and only a name it accepts.
    if (!is_update_file_name(file_name))
        return Failure{QStringLiteral("%1: name the program file NAME.exe with letters, digits, '.', '_' and '-' "
                                      "only, and not zorbel-skins.exe or uninstall.exe (it becomes the player's "
                                      "file name beside the installed program)")
                           .arg(options.program_file)};
    if (options.version.isEmpty() || !is_newer_version(options.version))
        return Failure{QStringLiteral("version \"%1\" is not newer than %2: players would not take it")
                           .arg(options.version, CURRENT_VERSION)};
    return {};
}

}  // namespace

Outcome<OfferedProgram> write_version_record(const QDir &site, const SiteOptions &options)
{
    if (options.program_file.isEmpty())
        return keep_record(site, options);

    const QString file_name = QFileInfo(options.program_file).fileName();
    const Outcome<void> acceptable = check_program(options, file_name);
    if (!acceptable.ok())
        return Failure{acceptable.error};
    OfferedProgram offered;
    offered.file = PROGRAM_FOLDER + QLatin1Char('/') + file_name;
    const Outcome<FileFacts> placed = place_file(options.program_file, site.filePath(offered.file), QString());
    if (!placed.ok())
        return Failure{placed.error};

    QJsonObject record{{VERSION_KEY, options.version},
                       {DOWNLOAD_URL_KEY, options.origin + QStringLiteral("/files/") + file_name},
                       {CHECKSUM_KEY, placed->sha256}};
    if (!options.key_path.isEmpty()) {
        const Outcome<QJsonObject> signature =
            sign_update(site.filePath(offered.file), options.version, file_name, options.key_path);
        if (!signature.ok())
            return Failure{signature.error};
        for (auto it = signature->constBegin(); it != signature->constEnd(); ++it)
            record.insert(it.key(), it.value());
        offered.note = QStringLiteral("version %1 offered as files/%2, signed").arg(options.version, file_name);
    } else {
        offered.note = QStringLiteral("version %1 offered as files/%2, with its checksum but unsigned: "
                                      "a program built with an update key refuses it")
                           .arg(options.version, file_name);
    }
    const Outcome<void> saved = save_file(site.filePath(VERSION_RECORD_FILE), QJsonDocument(record).toJson());
    if (!saved.ok())
        return Failure{saved.error};
    return offered;
}
