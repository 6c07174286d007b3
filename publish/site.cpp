#include "publish/site.h"

#include "app/endpoints.h"
#include "cards/skin_records.h"
#include "update/update_statement.h"
#include "update/update_script.h"
#include "update/update_signing.h"
#include "update/version.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

#include <algorithm>

const QString PAK_SIZE_KEY = QStringLiteral("pak_size");
const QString SIG_SIZE_KEY = QStringLiteral("sig_size");
const QString PAK_SHA256_KEY = QStringLiteral("pak_sha256");
const QString SIG_SHA256_KEY = QStringLiteral("sig_sha256");

namespace {

const QString kCatalogue = QStringLiteral("catalog.json");
const QString kDiscovery = QStringLiteral("discovery.txt");
const QString kVersionRecord = QStringLiteral("version.json");
const QString kFilesFolder = QStringLiteral("files");
constexpr qint64 kBlockBytes = 1024 * 1024;

struct FileFacts {
    qint64 size = 0;
    QString sha256;  // lower-case hex
    QString error;
};

FileFacts hash_file(const QString &path)
{
    FileFacts facts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        facts.error = path + QStringLiteral(": ") + file.errorString();
        return facts;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        facts.error = path + QStringLiteral(": ") + file.errorString();
        return facts;
    }
    facts.size = file.size();
    facts.sha256 = QString::fromLatin1(hash.result().toHex());
    return facts;
}

// Copies `source` to `target` unless `target` already holds the same bytes (known by
// `target_sha256`, the digest the site recorded for it). The copy replaces the target only
// once complete. The facts are those of the bytes now at `target`.
FileFacts place_file(const QString &source, const QString &target, const QString &target_sha256, bool *copied)
{
    FileFacts facts = hash_file(source);
    *copied = false;
    if (!facts.error.isEmpty())
        return facts;
    if (!target_sha256.isEmpty() && target_sha256 == facts.sha256 && QFileInfo(target).size() == facts.size)
        return facts;

    QFile in(source);
    QSaveFile out(target);
    if (!QDir().mkpath(QFileInfo(target).path()) || !in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        facts.error =
            QStringLiteral("cannot copy %1 to %2: %3 %4").arg(source, target, in.errorString(), out.errorString());
        return facts;
    }
    // Hashed as copied: the record describes the bytes players get, even if the source changed meanwhile.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    qint64 size = 0;
    while (!in.atEnd()) {
        const QByteArray block = in.read(kBlockBytes);
        if (block.isEmpty() || out.write(block) != block.size()) {
            facts.error =
                QStringLiteral("cannot copy %1 to %2: %3 %4").arg(source, target, in.errorString(), out.errorString());
            return facts;
        }
        hash.addData(block);
        size += block.size();
    }
    if (!out.commit()) {
        facts.error = QStringLiteral("cannot write %1: %2").arg(target, out.errorString());
        return facts;
    }
    facts.size = size;
    facts.sha256 = QString::fromLatin1(hash.result().toHex());
    *copied = true;
    return facts;
}

QString write_file(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return QString();
}

QJsonObject read_json_object(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

// The previous catalogue's records by case-folded .pak name.
QHash<QString, QJsonObject> previous_records(const QString &path)
{
    QHash<QString, QJsonObject> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    for (const QJsonValue &value : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject record = value.toObject();
        records.insert(record.value(QStringLiteral("pak_original")).toString().toCaseFolded(), record);
    }
    return records;
}

QString relative_path(const QString &folder, const QJsonObject &record, const QString &file_key)
{
    return folder + QLatin1Char('/') + record.value(QStringLiteral("MainCategory")).toString() + QLatin1Char('/')
           + record.value(QStringLiteral("subcategory")).toString() + QLatin1Char('/')
           + record.value(file_key).toString();
}

class SiteWriter {
public:
    SiteWriter(const SourceFolder &source, const SiteOptions &options)
        : source(source)
        , options(options)
        , site(QFileInfo(options.site_folder).absoluteFilePath())
    {
    }

    PublishReport write()
    {
        // The discovery answer goes first: it marks the folder as a site, so that a run that
        // fails half-way can be repeated.
        if (!check_site_folder() || !write_discovery() || !write_skins() || !write_version_record()
            || !write_instructions() || !write_catalogue())
            return report;
        remove_unlisted_files();
        return report;
    }

private:
    bool fail(const QString &error)
    {
        report.error = error;
        return false;
    }

    bool check_site_folder()
    {
        const QString problem = origin_problem(options.origin);
        if (!problem.isEmpty())
            return fail(problem);
        if (!site.exists() && !QDir().mkpath(site.path()))
            return fail(QStringLiteral("cannot create the site folder %1").arg(site.path()));
        if (!site.isEmpty() && !site.exists(kDiscovery))
            return fail(QStringLiteral("%1 is neither empty nor an earlier site (no %2); give another site folder")
                            .arg(site.path(), kDiscovery));
        old_records = previous_records(site.filePath(kCatalogue));
        return true;
    }

    bool write_skins()
    {
        QSet<QString> mains;
        QSet<QString> subs;
        for (const SourceSkin &skin : source.skins) {
            QJsonObject record = skin.record;
            const QJsonObject old =
                old_records.take(record.value(QStringLiteral("pak_original")).toString().toCaseFolded());
            bool changed = false;
            if (!place(skin.pak_path, record, QStringLiteral("pak_original"), PAK_SIZE_KEY, PAK_SHA256_KEY, old,
                       &changed)
                || !place(skin.sig_path, record, QStringLiteral("sig_original"), SIG_SIZE_KEY, SIG_SHA256_KEY, old,
                          &changed))
                return false;
            if (!skin.cover_path.isEmpty()) {
                const QString relative = relative_path(QStringLiteral("covers"), record, QStringLiteral("cover"));
                const QString target = site.filePath(relative);
                const QString old_sha = QFileInfo::exists(target) ? hash_file(target).sha256 : QString();
                bool copied = false;
                const FileFacts facts = place_file(skin.cover_path, target, old_sha, &copied);
                if (!facts.error.isEmpty())
                    return fail(facts.error);
                changed = changed || copied;
                listed.insert(relative);
                report.bytes += facts.size;
            }
            const QString missing = first_missing_field(record);
            if (!missing.isEmpty())
                return fail(QStringLiteral("%1: the record lacks \"%2\"").arg(skin.pak_path, missing));
            const QString name = record.value(QStringLiteral("name")).toString();
            if (old.isEmpty())
                report.added << name;
            else if (changed || old != record)
                report.changed << name;
            mains.insert(record.value(QStringLiteral("MainCategory")).toString());
            subs.insert(record.value(QStringLiteral("MainCategory")).toString() + QLatin1Char('/')
                        + record.value(QStringLiteral("subcategory")).toString());
            catalogue.append(record);
        }
        for (const QJsonObject &gone : qAsConst(old_records))
            report.removed << gone.value(QStringLiteral("name")).toString();
        report.skins = catalogue.size();
        report.main_categories = mains.size();
        report.subcategories = subs.size();
        return true;
    }

    bool place(const QString &source_path, QJsonObject &record, const QString &name_key, const QString &size_key,
               const QString &sha_key, const QJsonObject &old, bool *changed)
    {
        const QString relative = relative_path(QStringLiteral("skins"), record, name_key);
        const bool same_place = !old.isEmpty() && relative_path(QStringLiteral("skins"), old, name_key) == relative;
        bool copied = false;
        const FileFacts facts = place_file(source_path, site.filePath(relative),
                                           same_place ? old.value(sha_key).toString() : QString(), &copied);
        if (!facts.error.isEmpty())
            return fail(facts.error);
        record.insert(size_key, facts.size);
        record.insert(sha_key, facts.sha256);
        *changed = *changed || copied;
        listed.insert(relative);
        report.bytes += facts.size;
        return true;
    }

    bool write_version_record()
    {
        const QString record_path = site.filePath(kVersionRecord);
        if (options.program_file.isEmpty()) {
            // Without a new program the site keeps offering what it offered.
            QJsonObject record = read_json_object(record_path);
            if (record.isEmpty()) {
                record.insert(VERSION_KEY, CURRENT_VERSION);
                record.insert(DOWNLOAD_URL_KEY, QString());
                const QString error = write_file(record_path, QJsonDocument(record).toJson());
                if (!error.isEmpty())
                    return fail(error);
            }
            const QString offered = record.value(DOWNLOAD_URL_KEY).toString();
            if (offered.startsWith(options.origin + QStringLiteral("/files/")))
                listed.insert(kFilesFolder + QLatin1Char('/') + offered.section(QLatin1Char('/'), -1));
            return true;
        }

        const QString file_name = QFileInfo(options.program_file).fileName();
        // The player's program takes the file under this name, and only a name it accepts.
        if (!is_update_file_name(file_name))
            return fail(QStringLiteral("%1: name the program file NAME.exe with letters, digits, '.', '_' and '-' "
                                       "only, and not zorbel-skins.exe or uninstall.exe (it becomes the player's "
                                       "file name beside the installed program)")
                            .arg(options.program_file));
        if (options.version.isEmpty() || !is_newer_version(options.version))
            return fail(QStringLiteral("version \"%1\" is not newer than %2: players would not take it")
                            .arg(options.version, CURRENT_VERSION));
        const QString relative = kFilesFolder + QLatin1Char('/') + file_name;
        bool copied = false;
        const FileFacts facts = place_file(options.program_file, site.filePath(relative), QString(), &copied);
        if (!facts.error.isEmpty())
            return fail(facts.error);
        listed.insert(relative);

        QJsonObject record{{VERSION_KEY, options.version},
                           {DOWNLOAD_URL_KEY, options.origin + QStringLiteral("/files/") + file_name},
                           {CHECKSUM_KEY, facts.sha256}};
        if (!options.key_path.isEmpty()) {
            QJsonObject signature;
            const QString error =
                sign_update(site.filePath(relative), options.version, file_name, options.key_path, &signature);
            if (!error.isEmpty())
                return fail(error);
            for (auto it = signature.constBegin(); it != signature.constEnd(); ++it)
                record.insert(it.key(), it.value());
            report.notes << QStringLiteral("version %1 offered as files/%2, signed").arg(options.version, file_name);
        } else {
            report.notes << QStringLiteral("version %1 offered as files/%2, with its checksum but unsigned: "
                                           "a program built with an update key refuses it")
                                .arg(options.version, file_name);
        }
        const QString error = write_file(record_path, QJsonDocument(record).toJson());
        return error.isEmpty() || fail(error);
    }

    bool write_discovery()
    {
        const QString error =
            write_file(site.filePath(kDiscovery), (options.origin + BASE_PATH + QLatin1Char('\n')).toUtf8());
        return error.isEmpty() || fail(error);
    }

    bool write_instructions()
    {
        if (source.instructions_path.isEmpty()) {
            QFile::remove(site.filePath(INSTRUCTIONS_FILE));
            return true;
        }
        bool copied = false;
        const QString error =
            place_file(source.instructions_path, site.filePath(INSTRUCTIONS_FILE), QString(), &copied).error;
        return error.isEmpty() || fail(error);
    }

    bool write_catalogue()
    {
        const QString error = write_file(site.filePath(kCatalogue), QJsonDocument(catalogue).toJson());
        return error.isEmpty() || fail(error);
    }

    // Only below the folders this writer fills: whatever else the operator keeps there stays.
    void remove_unlisted_files()
    {
        for (const QString &folder : {QStringLiteral("skins"), QStringLiteral("covers"), kFilesFolder}) {
            QDirIterator it(site.filePath(folder), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (!listed.contains(site.relativeFilePath(path)))
                    QFile::remove(path);
            }
            QDirIterator dirs(site.filePath(folder), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            QStringList found;
            while (dirs.hasNext())
                found << dirs.next();
            // Deepest first, so that a folder emptied by its children goes too.
            std::sort(found.begin(), found.end(),
                      [](const QString &a, const QString &b) { return a.size() > b.size(); });
            for (const QString &dir : qAsConst(found))
                QDir().rmdir(dir);
        }
    }

    const SourceFolder &source;
    const SiteOptions &options;
    QDir site;
    PublishReport report;
    QHash<QString, QJsonObject> old_records;
    QJsonArray catalogue;
    QSet<QString> listed;  // site-relative paths of every file the site now offers
};

}  // namespace

QString origin_problem(const QString &origin)
{
    const QUrl url(origin, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))
        || url.host().isEmpty() || !url.path().isEmpty() || url.hasQuery() || url.hasFragment()
        || !url.userInfo().isEmpty() || !origin.startsWith(QStringLiteral("http")))
        return QStringLiteral("\"%1\" is not an address like https://skins.example.org (scheme and host, no path)")
            .arg(origin);
    return QString();
}

PublishReport publish_site(const SourceFolder &source, const SiteOptions &options)
{
    return SiteWriter(source, options).write();
}
