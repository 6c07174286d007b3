#include "download/install_manifest.h"

#include "app/config.h"
#include "app/logging.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <mutex>

namespace install_manifest {

// Ends in neither ".tmp" nor ".setaside" and is never empty, so the close clean-up leaves it.
const QString FILE_NAME = QStringLiteral("zorbel-installed.json");

namespace {

struct Entry {
    qint64 size = -1;
    qint64 modified_ms = 0;
    QByteArray sha256;
};
using Entries = QHash<QString, Entry>;  // by file name

struct Cache {
    std::mutex mutex;
    QHash<QString, Entries> folders;  // by the mod folder's absolute path
};

Cache &cache()
{
    static auto *instance = new Cache;  // lives until the process ends
    return *instance;
}

QString manifest_path(const QString &mod_dir)
{
    return QDir(mod_dir).filePath(FILE_NAME);
}

QString folder_key(const QString &mod_dir)
{
    return QDir::cleanPath(QFileInfo(mod_dir).absoluteFilePath());
}

// A whole number that a double holds exactly, or nothing: a damaged file may hold any number.
bool read_whole(const QJsonValue &value, qint64 *number)
{
    const double whole = value.toDouble(std::nan(""));
    if (!(std::abs(whole) <= 9007199254740992.0) || std::floor(whole) != whole)
        return false;
    *number = qint64(whole);
    return true;
}

Entries parse(const QByteArray &text)
{
    Entries entries;
    const QJsonObject files = QJsonDocument::fromJson(text).object().value(QStringLiteral("files")).toObject();
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QJsonObject item = it.value().toObject();
        Entry entry;
        entry.sha256 = QByteArray::fromHex(item.value(QStringLiteral("sha256")).toString().toLatin1());
        if (read_whole(item.value(QStringLiteral("size")), &entry.size)
            && read_whole(item.value(QStringLiteral("modified")), &entry.modified_ms) && entry.size >= 0
            && entry.sha256.size() == 32)
            entries.insert(it.key(), entry);
    }
    return entries;
}

QByteArray serialise(const Entries &entries)
{
    QJsonObject files;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        files.insert(it.key(), QJsonObject{{QStringLiteral("size"), double(it->size)},
                                           {QStringLiteral("modified"), double(it->modified_ms)},
                                           {QStringLiteral("sha256"), QString::fromLatin1(it->sha256.toHex())}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("files"), files}}).toJson(QJsonDocument::Compact);
}

// The folder's entries, read from disk the first time. Called with the cache locked.
Entries &entries_of(const QString &mod_dir)
{
    const QString key = folder_key(mod_dir);
    auto found = cache().folders.find(key);
    if (found == cache().folders.end()) {
        QFile file(manifest_path(mod_dir));
        // A manifest is a few lines per skin; anything far larger is not ours.
        const bool readable = file.open(QIODevice::ReadOnly) && file.size() <= 16 * 1024 * 1024;
        found = cache().folders.insert(key, readable ? parse(file.readAll()) : Entries());
    }
    return *found;
}

bool write(const QString &mod_dir, const Entries &entries)
{
    const QString path = manifest_path(mod_dir);
    if (entries.isEmpty()) {
        // Nothing known: no file, rather than an empty one the clean-up would take for a leftover.
        return !QFileInfo::exists(path) || QFile::remove(path);
    }
    QSaveFile file(path);
    const QByteArray text = serialise(entries);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    log_warning(QStringLiteral("无法写入安装记录: ") + shown_path(path) + QStringLiteral(" - ") + file.errorString());
    return false;
}

}  // namespace

bool is_manifest_name(const QString &file_name)
{
    return file_name.compare(FILE_NAME, Qt::CaseInsensitive) == 0;
}

bool record(const QString &mod_dir, const QList<QPair<QString, QByteArray>> &files)
{
    std::lock_guard<std::mutex> lock(cache().mutex);
    Entries &entries = entries_of(mod_dir);
    for (const auto &file : files) {
        const QFileInfo info(QDir(mod_dir).filePath(file.first));
        if (!info.isFile()) {
            entries.remove(file.first);
            continue;
        }
        entries.insert(file.first, Entry{info.size(), info.lastModified().toMSecsSinceEpoch(), file.second});
    }
    return write(mod_dir, entries);
}

void forget(const QString &mod_dir, const QStringList &file_names)
{
    std::lock_guard<std::mutex> lock(cache().mutex);
    Entries &entries = entries_of(mod_dir);
    bool changed = false;
    for (const QString &name : file_names)
        changed = entries.remove(name) > 0 || changed;
    if (changed)
        write(mod_dir, entries);
}

QByteArray unchanged_file_sha256(const QString &mod_dir, const QString &file_name)
{
    Entry entry;
    {
        std::lock_guard<std::mutex> lock(cache().mutex);
        entry = entries_of(mod_dir).value(file_name);
    }
    if (entry.sha256.isEmpty())
        return {};
    const QFileInfo info(QDir(mod_dir).filePath(file_name));
    if (!info.isFile() || info.size() != entry.size || info.lastModified().toMSecsSinceEpoch() != entry.modified_ms)
        return {};
    return entry.sha256;
}

}  // namespace install_manifest
