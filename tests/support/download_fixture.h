#pragma once
// Shared by the download suites: a skin-download endpoint on the test server that answers
// per file name, task records, and a recorder of the manager's signals in order.

#include "app/config.h"
#include "app/endpoints.h"
#include "download/download_manager.h"
#include "support/game_files.h"
#include "support/records.h"
#include "support/test_server.h"

#include <QDir>
#include <QMap>
#include <QObject>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

inline QString skin_download_path()
{
    return QStringLiteral("/base/subcutaneous/index_skin_download.php");
}

// The file a request of the skin-download endpoint asks for: its "pak_original" or
// "sig_original" value.
inline QString requested_file(const TestRequest &request)
{
    return request.query.contains(QStringLiteral("pak_original")) ? request.query.value(QStringLiteral("pak_original"))
                                                                  : request.query.value(QStringLiteral("sig_original"));
}

// Answers the skin-download endpoint by the file asked for; HEAD and GET get the same
// reply (the test server sends no body for HEAD). Unknown names: 404.
inline void serve_skin_files(TestServer &server, const QMap<QString, TestReply> &replies)
{
    server.route(skin_download_path(), [replies](const TestRequest &request) {
        return replies.value(requested_file(request), TestReply::text("no such file", 404));
    });
    set_base_url(server.url(QStringLiteral("/base")));
}

// A reply that sends `sent` bytes of a `size`-byte body and then nothing, until the test ends.
inline TestReply stalled_reply(int size, int sent)
{
    TestReply reply = TestReply::file(QByteArray(size, 's'));
    reply.stall_after = sent;
    return reply;
}

// The task of skin `name` whose files the server knows as `pak` and `sig`.
inline DownloadTask make_task(const QString &name, const QString &game_dir, const QString &pak, const QString &sig,
                              const QString &main = QStringLiteral("主类"), const QString &sub = QStringLiteral("子类"))
{
    QJsonObject record = skin_record(name, main, sub, QJsonValue::Undefined);
    record.insert(QStringLiteral("pak_original"), pak);
    record.insert(QStringLiteral("sig_original"), sig);
    return task_of(record, game_dir);
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
