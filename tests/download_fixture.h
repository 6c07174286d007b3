#pragma once
// Shared by the download suites: a skin-download endpoint on the test server that answers
// per file name, task records, a recorder of the manager's signals in order, and a look
// at the files of a mod folder.

#include "app/config.h"
#include "app/endpoints.h"
#include "download/download_manager.h"
#include "download/install_manifest.h"
#include "support/test_server.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <functional>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

inline QString skin_download_path()
{
    return QStringLiteral("/base/subcutaneous/index_skin_download.php");
}

// Answers the skin-download endpoint by the "pak_original" or "sig_original" value; HEAD
// and GET get the same reply (the test server sends no body for HEAD). Unknown names: 404.
inline void serve_skin_files(TestServer &server, const QMap<QString, TestReply> &replies)
{
    server.route(skin_download_path(), [replies](const TestRequest &request) {
        const QString name = request.query.contains(QStringLiteral("pak_original"))
                                 ? request.query.value(QStringLiteral("pak_original"))
                                 : request.query.value(QStringLiteral("sig_original"));
        return replies.value(name, TestReply::text("no such file", 404));
    });
    set_base_url(server.url(QStringLiteral("/base")));
}

// A file as the server sends it.
inline TestReply file_reply(const QByteArray &body)
{
    TestReply reply = TestReply::text(body);
    reply.content_type = "application/octet-stream";
    return reply;
}

// A reply that sends `sent` bytes of a `size`-byte body and then nothing, until the test ends.
inline TestReply stalled_reply(int size, int sent)
{
    TestReply reply = file_reply(QByteArray(size, 's'));
    reply.stall_after = sent;
    return reply;
}

inline DownloadTask make_task(const QString &name, const QString &game_dir, const QString &pak, const QString &sig,
                              const QString &main = QStringLiteral("主类"), const QString &sub = QStringLiteral("子类"))
{
    QVariantMap skin;
    skin.insert(QStringLiteral("name"), name);
    skin.insert(QStringLiteral("MainCategory"), main);
    skin.insert(QStringLiteral("subcategory"), sub);
    skin.insert(QStringLiteral("pak_original"), pak);
    skin.insert(QStringLiteral("sig_original"), sig);
    QVariantMap task;
    task.insert(QStringLiteral("skin_id"), name);
    task.insert(QStringLiteral("skin_data"), skin);
    task.insert(QStringLiteral("game_dir"), game_dir);
    return std::make_shared<const QVariantMap>(task);
}

// The same task with more keys in its skin record (the catalogue's sizes and hashes).
inline DownloadTask with_keys(const DownloadTask &task, const QVariantMap &keys)
{
    QVariantMap record = task->value(QStringLiteral("skin_data")).toMap();
    for (auto it = keys.begin(); it != keys.end(); ++it)
        record.insert(it.key(), it.value());
    QVariantMap changed = *task;
    changed.insert(QStringLiteral("skin_data"), record);
    return std::make_shared<const QVariantMap>(changed);
}

inline QString sha256_hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

// The four keys of a catalogue that publishes both files' sizes and hashes.
inline QVariantMap published(const QByteArray &pak, const QByteArray &sig)
{
    return {{"pak_size", pak.size()},
            {"sig_size", sig.size()},
            {"pak_sha256", sha256_hex(pak)},
            {"sig_sha256", sha256_hex(sig)}};
}

inline QString mod_folder(const QString &game_dir)
{
    return join_path(game_dir, MOD_SUBDIR);
}

inline QByteArray read_file(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void write_file(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(data);
}

#ifdef Q_OS_WIN
// Keeps a file open without delete sharing while it lives, as a running game or a virus
// scanner holds a .pak: Windows then refuses to delete, rename or replace it.
class HeldOpen {
public:
    explicit HeldOpen(const QString &path)
        : handle(CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()), GENERIC_READ,
                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~HeldOpen()
    {
        if (held())
            CloseHandle(handle);
    }
    HeldOpen(const HeldOpen &) = delete;
    HeldOpen &operator=(const HeldOpen &) = delete;
    bool held() const { return handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle;
};
#endif

// Every file below `folder`, relative to it, sorted; the program's install manifest aside.
inline QStringList files_below(const QString &folder)
{
    QStringList found;
    QDir root(folder);
    std::function<void(const QString &)> walk = [&](const QString &path) {
        const QDir dir(path);
        for (const QFileInfo &info :
             dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
            if (info.isDir())
                walk(info.filePath());
            else if (!install_manifest::is_manifest_name(info.fileName()))
                found << root.relativeFilePath(info.filePath());
        }
    };
    walk(folder);
    found.sort();
    return found;
}

// Records the manager's signals as "signal:argument" texts, in the order they arrive
// (progress separately, as numbers).
class SignalLog : public QObject {
public:
    explicit SignalLog(DownloadManager *manager)
    {
        connect(manager, &DownloadManager::task_started, this, [this](const QString &n) { add("started:" + n); });
        connect(manager, &DownloadManager::task_completed, this, [this](const QString &n) { add("completed:" + n); });
        connect(manager, &DownloadManager::task_failed, this, [this](const QString &n, const QString &m) {
            add("failed:" + n);
            messages << m;
        });
        connect(manager, &DownloadManager::task_cancelled, this, [this](const QString &n) { add("cancelled:" + n); });
        connect(manager, &DownloadManager::queue_updated, this, [this] { add(QStringLiteral("queue")); });
        connect(manager, &DownloadManager::progress_updated, this, [this](const QString &n, int p) {
            progress << p;
            progress_names << n;
        });
    }
    void clear()
    {
        events.clear();
        messages.clear();
        progress.clear();
        progress_names.clear();
    }
    bool has(const QString &event) const { return events.contains(event); }

    QStringList events;
    QStringList messages;
    QList<int> progress;
    QStringList progress_names;

private:
    void add(const QString &event) { events << event; }
};
