#include "publish/site.h"

#include "app/endpoints.h"
#include "cards/skin_records.h"
#include "publish/site_files.h"
#include "publish/site_version.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
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

class SiteWriter {
public:
    SiteWriter(const SourceFolder &source, const SiteOptions &options)
        : source(source)
        , options(options)
        , site(QFileInfo(options.site_folder).absoluteFilePath())
    {
    }

    Outcome<PublishReport> write()
    {
        // The discovery answer goes first: it marks the folder as a site, so that a run that
        // fails half-way can be repeated.
        using Step = Outcome<void> (SiteWriter::*)();
        for (Step step : {&SiteWriter::check_site_folder, &SiteWriter::write_discovery, &SiteWriter::write_skins,
                          &SiteWriter::offer_program, &SiteWriter::write_instructions, &SiteWriter::write_catalogue}) {
            const Outcome<void> done = (this->*step)();
            if (!done.ok())
                return Failure{done.error};
        }
        remove_unlisted_files();
        return report;
    }

private:
    Outcome<void> check_site_folder()
    {
        const Outcome<void> origin = check_origin(options.origin);
        if (!origin.ok())
            return origin;
        if (!site.exists() && !QDir().mkpath(site.path()))
            return Failure{QStringLiteral("cannot create the site folder %1").arg(site.path())};
        if (!site.isEmpty() && !site.exists(kDiscovery))
            return Failure{QStringLiteral("%1 is neither empty nor an earlier site (no %2); give another site folder")
                               .arg(site.path(), kDiscovery)};
        old_records = previous_records(site.filePath(kCatalogue));
        return {};
    }

    Outcome<void> write_skins()
    {
        QSet<QString> mains;
        QSet<QString> subs;
        for (const SourceSkin &skin : source.skins) {
            QJsonObject record = skin.record;
            const QJsonObject old =
                old_records.take(record.value(QStringLiteral("pak_original")).toString().toCaseFolded());
            const Outcome<bool> changed = place_skin(skin, record, old);
            if (!changed.ok())
                return Failure{changed.error};
            const QString missing = first_missing_field(record);
            if (!missing.isEmpty())
                return Failure{QStringLiteral("%1: the record lacks \"%2\"").arg(skin.pak_path, missing)};
            const QString name = record.value(QStringLiteral("name")).toString();
            if (old.isEmpty())
                report.added << name;
            else if (*changed || old != record)
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
        return {};
    }

    // Places the skin's files and cover, adding their sizes and digests to `record`; the
    // outcome tells whether any file was copied anew.
    Outcome<bool> place_skin(const SourceSkin &skin, QJsonObject &record, const QJsonObject &old)
    {
        const Outcome<bool> pak =
            place(skin.pak_path, record, QStringLiteral("pak_original"), PAK_SIZE_KEY, PAK_SHA256_KEY, old);
        if (!pak.ok())
            return pak;
        const Outcome<bool> sig =
            place(skin.sig_path, record, QStringLiteral("sig_original"), SIG_SIZE_KEY, SIG_SHA256_KEY, old);
        if (!sig.ok())
            return sig;
        const bool copied = *pak || *sig;
        if (skin.cover_path.isEmpty())
            return copied;
        const QString relative = relative_path(QStringLiteral("covers"), record, QStringLiteral("cover"));
        const QString target = site.filePath(relative);
        const QString old_sha = QFileInfo::exists(target) ? file_facts(target)->sha256 : QString();
        const Outcome<FileFacts> cover = place_file(skin.cover_path, target, old_sha);
        if (!cover.ok())
            return Failure{cover.error};
        listed.insert(relative);
        report.bytes += cover->size;
        return copied || cover->copied;
    }

    Outcome<bool> place(const QString &source_path, QJsonObject &record, const QString &name_key,
                        const QString &size_key, const QString &sha_key, const QJsonObject &old)
    {
        const QString relative = relative_path(QStringLiteral("skins"), record, name_key);
        const bool same_place = !old.isEmpty() && relative_path(QStringLiteral("skins"), old, name_key) == relative;
        const Outcome<FileFacts> facts =
            place_file(source_path, site.filePath(relative), same_place ? old.value(sha_key).toString() : QString());
        if (!facts.ok())
            return Failure{facts.error};
        record.insert(size_key, facts->size);
        record.insert(sha_key, facts->sha256);
        listed.insert(relative);
        report.bytes += facts->size;
        return facts->copied;
    }

    Outcome<void> offer_program()
    {
        const Outcome<OfferedProgram> offered = write_version_record(site, options);
        if (!offered.ok())
            return Failure{offered.error};
        if (!offered->file.isEmpty())
            listed.insert(offered->file);
        if (!offered->note.isEmpty())
            report.notes << offered->note;
        return {};
    }

    Outcome<void> write_discovery()
    {
        return save_file(site.filePath(kDiscovery), (options.origin + BASE_PATH + QLatin1Char('\n')).toUtf8());
    }

    Outcome<void> write_instructions()
    {
        if (source.instructions_path.isEmpty()) {
            QFile::remove(site.filePath(INSTRUCTIONS_FILE));
            return {};
        }
        const Outcome<FileFacts> placed =
            place_file(source.instructions_path, site.filePath(INSTRUCTIONS_FILE), QString());
        if (!placed.ok())
            return Failure{placed.error};
        return {};
    }

    Outcome<void> write_catalogue() { return save_file(site.filePath(kCatalogue), QJsonDocument(catalogue).toJson()); }

    // Only below the folders this writer fills: whatever else the operator keeps there stays.
    void remove_unlisted_files()
    {
        for (const QString &folder : {QStringLiteral("skins"), QStringLiteral("covers"), PROGRAM_FOLDER}) {
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

Outcome<void> check_origin(const QString &origin)
{
    const QUrl url(origin, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))
        || url.host().isEmpty() || !url.path().isEmpty() || url.hasQuery() || url.hasFragment()
        || !url.userInfo().isEmpty() || !origin.startsWith(QStringLiteral("http")))
        return Failure{
            QStringLiteral("\"%1\" is not an address like https://skins.example.org (scheme and host, no path)")
                .arg(origin)};
    return {};
}

Outcome<PublishReport> publish_site(const SourceFolder &source, const SiteOptions &options)
{
    return SiteWriter(source, options).write();
}
