#include "publish/source_folder.h"

#include "app/config.h"
#include "cards/cover_cache.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QSet>

#include <cmath>

const QString METADATA_FILE = QStringLiteral("skins.json");
const QString INSTRUCTIONS_FILE = QStringLiteral("instructions.html");

namespace {

const QString kDefaultMainCategory = QStringLiteral("未分类");
const QString kDefaultSubcategory = QStringLiteral("其他");
const QStringList kCoverSuffixes{QStringLiteral(".png"), QStringLiteral(".jpg"), QStringLiteral(".jpeg")};
const QStringList kTextKeys{QStringLiteral("name"), QStringLiteral("MainCategory"), QStringLiteral("subcategory")};
const QStringList kRankKeys{QStringLiteral("MainCategory_ranking_id"), QStringLiteral("subcategory_ranking_id"),
                            QStringLiteral("skin_id")};

bool is_integer(const QJsonValue &value)
{
    const double number = value.toDouble();
    return value.isDouble() && std::floor(number) == number && std::fabs(number) <= 2147483647.0;
}

QString json_text(const QJsonValue &value)
{
    if (value.isNull())
        return QStringLiteral("null");
    return value.isString() ? QLatin1Char('"') + value.toString() + QLatin1Char('"') : value.toVariant().toString();
}

// The .pak files below `folder`, by relative path; a name in another case is kept too, so
// that it can be refused by name.
QStringList pak_files(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QStringLiteral(".pak"), Qt::CaseInsensitive))
            found << QDir(folder).relativeFilePath(path);
    }
    found.sort();
    return found;
}

class FolderReader {
public:
    explicit FolderReader(const QString &folder)
        : root(QFileInfo(folder).absoluteFilePath())
    {
    }

    SourceFolder read()
    {
        if (!root.exists()) {
            result.refusals << QStringLiteral("%1: no such folder").arg(root.path());
            return result;
        }
        read_metadata();
        for (const QString &relative : pak_files(root.path()))
            read_skin(relative);
        for (auto it = metadata.constBegin(); it != metadata.constEnd(); ++it) {
            if (!used_entries.contains(it.key()))
                result.warnings << QStringLiteral("%1: entry \"%2\" names no .pak file in the folder; it is ignored")
                                       .arg(METADATA_FILE, it.key());
        }
        if (QFileInfo(root.filePath(INSTRUCTIONS_FILE)).isFile())
            result.instructions_path = root.filePath(INSTRUCTIONS_FILE);
        else
            result.warnings
                << QStringLiteral("no %1: players see the program's own welcome text").arg(INSTRUCTIONS_FILE);
        return result;
    }

private:
    void read_metadata()
    {
        QFile file(root.filePath(METADATA_FILE));
        if (!file.exists()) {
            result.warnings << QStringLiteral("no %1: every skin gets default values").arg(METADATA_FILE);
            return;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            result.refusals << QStringLiteral("%1: %2").arg(METADATA_FILE, file.errorString());
            return;
        }
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            result.refusals << QStringLiteral("%1: not a JSON object of .pak file names (%2 at byte %3)")
                                   .arg(METADATA_FILE, error.error != QJsonParseError::NoError
                                                           ? error.errorString()
                                                           : QStringLiteral("other JSON"))
                                   .arg(error.offset);
            return;
        }
        metadata = document.object();
    }

    void refuse(const QString &skin, const QString &what) { result.refusals << skin + QStringLiteral(": ") + what; }

    void check_name(const QString &skin, const QString &role, const QString &name)
    {
        const Outcome<void> usable = check_skin_name(name);
        if (!usable.ok())
            refuse(skin, QStringLiteral("%1 \"%2\" %3").arg(role, name, usable.error));
    }

    void read_skin(const QString &relative)
    {
        const QFileInfo pak(root.filePath(relative));
        const QString pak_name = pak.fileName();
        if (!pak_name.endsWith(QStringLiteral(".pak"))) {
            refuse(relative, QStringLiteral("the program installs only names ending in \".pak\" (lower case); "
                                            "rename the file and its .sig"));
            return;
        }
        const QString stem = pak_name.chopped(4);
        SourceSkin skin;
        skin.pak_path = pak.filePath();
        skin.sig_path = pak.dir().filePath(stem + QStringLiteral(".sig"));
        if (!QFileInfo(skin.sig_path).isFile())
            refuse(relative, QStringLiteral("no %1.sig beside it; add the skin's .sig file").arg(stem));
        check_name(relative, QStringLiteral("file name"), pak_name);

        // Every skin installs into the one mod folder, whose names Windows compares without case.
        const QString key = pak_name.toCaseFolded();
        if (seen_files.contains(key))
            refuse(relative, QStringLiteral("%1 installs as the same .pak and .sig as %2; rename one of them")
                                 .arg(pak_name, seen_files.value(key)));
        seen_files.insert(key, relative);

        skin.record = read_entry(relative, pak_name, stem);
        for (const QString &key : {QStringLiteral("MainCategory"), QStringLiteral("subcategory")})
            check_name(relative, key, skin.record.value(key).toString());
        const QString name = skin.record.value(QStringLiteral("name")).toString();
        if (name.trimmed().isEmpty())
            refuse(relative, QStringLiteral("\"name\" is empty; give the skin a name in %1").arg(METADATA_FILE));
        else if (seen_names.contains(name))
            refuse(relative, QStringLiteral("\"name\" \"%1\" is also the name of %2; the download queue knows a skin "
                                            "by its name, so give each skin its own")
                                 .arg(name, seen_names.value(name)));
        seen_names.insert(name, relative);

        skin.record.insert(QStringLiteral("pak_original"), pak_name);
        skin.record.insert(QStringLiteral("sig_original"), stem + QStringLiteral(".sig"));
        read_cover(relative, pak.dir(), stem, &skin);
        result.skins << skin;
    }

    QJsonObject read_entry(const QString &relative, const QString &pak_name, const QString &stem)
    {
        QJsonObject record;
        const QJsonValue entry = metadata.value(pak_name);
        if (entry.isUndefined()) {
            result.warnings << QStringLiteral("%1: no entry in %2; published as \"%3\" in %4 / %5")
                                   .arg(relative, METADATA_FILE, stem, kDefaultMainCategory, kDefaultSubcategory);
        } else if (!entry.isObject()) {
            refuse(relative, QStringLiteral("its entry in %1 is not a JSON object").arg(METADATA_FILE));
        } else {
            used_entries.insert(pak_name);
            record = entry.toObject();
        }
        for (auto it = record.constBegin(); it != record.constEnd(); ++it) {
            if (!kTextKeys.contains(it.key()) && !kRankKeys.contains(it.key()))
                result.warnings << QStringLiteral("%1: unknown key \"%2\" in %3 is ignored (known: %4)")
                                       .arg(relative, it.key(), METADATA_FILE, (kTextKeys + kRankKeys).join(", "));
        }
        QJsonObject kept;
        const QStringList defaults{stem, kDefaultMainCategory, kDefaultSubcategory};
        for (int i = 0; i < kTextKeys.size(); ++i) {
            const QJsonValue value = record.value(kTextKeys[i]);
            if (!value.isUndefined() && !value.isString())
                refuse(relative, QStringLiteral("\"%1\" must be text").arg(kTextKeys[i]));
            kept.insert(kTextKeys[i], value.isString() ? value.toString() : defaults[i]);
        }
        for (const QString &key : kRankKeys) {
            const QJsonValue value = record.value(key);
            if (value.isUndefined())
                continue;
            if (!is_integer(value))
                refuse(relative, QStringLiteral("\"%1\" must be a whole number, not %2").arg(key, json_text(value)));
            else
                kept.insert(key, value.toInt());
        }
        return kept;
    }

    void read_cover(const QString &relative, const QDir &dir, const QString &stem, SourceSkin *skin)
    {
        for (const QString &suffix : kCoverSuffixes) {
            const QFileInfo cover(dir.filePath(stem + suffix));
            if (!cover.isFile())
                continue;
            check_name(relative, QStringLiteral("cover"), cover.fileName());
            if (cover.size() > MAX_COVER_BYTES) {
                refuse(relative, QStringLiteral("cover %1 has %2 bytes; the program takes at most %3")
                                     .arg(cover.fileName())
                                     .arg(cover.size())
                                     .arg(MAX_COVER_BYTES));
                return;
            }
            QFile file(cover.filePath());
            if (!file.open(QIODevice::ReadOnly) || decode_cover(file.readAll()).isNull()) {
                refuse(relative, QStringLiteral("cover %1 does not decode as an image of at most %2 pixels a side")
                                     .arg(cover.fileName())
                                     .arg(MAX_COVER_SIDE));
                return;
            }
            skin->cover_path = cover.filePath();
            skin->record.insert(QStringLiteral("cover"), cover.fileName());
            return;
        }
    }

    QDir root;
    SourceFolder result;
    QJsonObject metadata;
    QSet<QString> used_entries;
    QHash<QString, QString> seen_files;  // case-folded .pak name -> relative path
    QHash<QString, QString> seen_names;  // display name -> relative path
};

}  // namespace

Outcome<void> check_skin_name(const QString &name)
{
    if (name.isEmpty())
        return Failure{QStringLiteral("is empty")};
    if (!usable_file_name(name))
        return Failure{QStringLiteral("is a name the program refuses to write (reserved on Windows, or with ':' or a "
                                      "control character); rename it")};
    for (const QChar c : QStringLiteral("<>\"/\\|?*")) {
        if (name.contains(c))
            return Failure{QStringLiteral("holds '%1', which Windows does not allow in a file name; rename it").arg(c)};
    }
    // The program puts names into the query as they stand: these would end or change the value.
    for (const QChar c : QStringLiteral("&#%+")) {
        if (name.contains(c))
            return Failure{QStringLiteral("holds '%1', which would change the request address; rename it").arg(c)};
    }
    return {};
}

SourceFolder read_source_folder(const QString &folder)
{
    return FolderReader(folder).read();
}
