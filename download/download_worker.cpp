#include "download/download_worker.h"

#include "app/config.h"
#include "app/endpoints.h"
#include "app/http_session.h"
#include "app/logging.h"
#include "download/safe_file_ops.h"
#include "download/set_aside.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariantMap>
#include <QVector>

#include <functional>

namespace {

constexpr int kProbeTimeoutMs = 10000;
constexpr int kTransferTimeoutMs = 60000;

struct TransferEntry {
    QString url;
    QString filename;    // as the catalogue names it
    QString temp_path;
    QString final_path;
    qint64 announced = 0;  // size from the probe, 0 when none was given
    bool redirected = false;  // the probe was answered by a redirect, whose size is not the file's
};

// The request address carries the catalogue's file name as it stands; the session
// encodes it for the wire.
QString skin_file_url(const QString &main_category, const QString &subcategory, const QString &file_key,
                      const QString &filename)
{
    return SKIN_DOWNLOAD_API + QStringLiteral("?MainCategory=") + main_category + QStringLiteral("&subcategory=")
           + subcategory + QLatin1Char('&') + file_key + QLatin1Char('=') + filename;
}

// A name the server gives may hold folders ("../../x.pak"); only its last part is
// written, and only when that part names a plain file inside the mod folder.
bool usable_file_name(const QString &name)
{
    return !name.isEmpty() && !is_reserved_windows_name(name)
           && !name.contains(QLatin1Char(':'));  // a drive or an alternate data stream on Windows
}

class TaskRun {
public:
    enum class Outcome { Done, Failed, Cancelled };

    // `begin_move` is asked once both files have arrived; false means the task was
    // cancelled, true that a cancel is refused from then on.
    TaskRun(const QVariantMap &skin, QString install_path, const std::atomic_bool &cancelled,
            std::function<void(int)> report, std::function<bool()> begin_move)
        : skin(skin), install_path(std::move(install_path)), cancelled(cancelled), report(std::move(report)),
          begin_move(std::move(begin_move))
    {
    }

    Outcome execute();
    // Removes every transfer file this run may have made.
    void remove_temp_files() const;

    QString message;  // the failure's description when execute() returned Failed

private:
    Outcome fail(const QString &description)
    {
        message = description;
        return Outcome::Failed;
    }
    Outcome probe(const QString &url, const QString &filename);
    Outcome fetch(const TransferEntry &entry);
    Outcome put_in_place();

    const QVariantMap skin;
    const QString install_path;
    const std::atomic_bool &cancelled;
    const std::function<void(int)> report;
    const std::function<bool()> begin_move;
    QVector<TransferEntry> entries;
    qint64 total_size = 0;
    qint64 downloaded = 0;
};

TaskRun::Outcome TaskRun::execute()
{
    if (!QDir().mkpath(install_path))
        return fail(QStringLiteral("无法创建目录: ") + install_path);
    log_info(QStringLiteral("已创建或确认目录存在: ") + install_path);

    const QString main_category = skin.value(QStringLiteral("MainCategory")).toString();
    const QString subcategory = skin.value(QStringLiteral("subcategory")).toString();
    const QString pak_filename = skin.value(QStringLiteral("pak_original")).toString();
    const QString sig_filename = skin.value(QStringLiteral("sig_original")).toString();

    // The server marks a skin that must be bought by a name that is no .pak.
    if (!pak_filename.endsWith(QLatin1String(".pak")))
        return fail(QStringLiteral("此皮肤需要购买: ") + pak_filename);
    for (const QString &filename : {pak_filename, sig_filename})
        if (!usable_file_name(windows_base_name(filename)))
            return fail(QStringLiteral("无效的文件名: ") + filename);

    // Both sizes are known before the first byte is fetched, so progress spans both files.
    Outcome outcome = probe(skin_file_url(main_category, subcategory, QStringLiteral("pak_original"), pak_filename),
                            pak_filename);
    if (outcome == Outcome::Done)
        outcome = probe(skin_file_url(main_category, subcategory, QStringLiteral("sig_original"), sig_filename),
                        sig_filename);
    if (outcome != Outcome::Done)
        return outcome;

    for (const TransferEntry &entry : entries) {
        if (cancelled)
            return Outcome::Cancelled;
        outcome = fetch(entry);
        if (outcome != Outcome::Done)
            return outcome;
    }
    // Both files arrived whole: only now do they replace what is installed. A move that
    // has begun is not cancelled half-way: it ends, and the task reports how.
    if (!begin_move())
        return Outcome::Cancelled;
    return put_in_place();
}

TaskRun::Outcome TaskRun::put_in_place()
{
    // The installed pair is set aside first, so that a file that cannot be moved (held
    // open by the game, say) stops the install before anything changed, and a failure
    // after that puts the old pair back: never a new .pak beside an old .sig. A copy that
    // a crash or a forced exit leaves set aside is put back by the clean-up.
    QVector<QPair<QString, QString>> set_aside;  // (installed file, its copy)
    // Puts the set-aside files back; a file that stays set aside is named in the failure.
    const auto restore = [&set_aside](const QString &failure) {
        QStringList kept;
        for (const auto &moved : qAsConst(set_aside))
            if (!safe_rename(moved.second, moved.first))
                kept << moved.second;
        if (kept.isEmpty())
            return failure;
        return failure + QStringLiteral("；原文件未能恢复，仍保存为: ") + kept.join(QStringLiteral(", "));
    };
    for (const TransferEntry &entry : entries) {
        const QFileInfo installed(entry.final_path);
        if (!installed.exists() && !installed.isSymLink())
            continue;
        const QString copy = set_aside_path(entry.final_path);
        if (!installed.isFile() || !safe_rename(entry.final_path, copy))
            return fail(restore(QStringLiteral("无法替换已安装的文件: ") + windows_base_name(entry.filename)));
        set_aside.append({entry.final_path, copy});
    }
    QStringList placed;
    for (const TransferEntry &entry : entries) {
        if (!safe_rename(entry.temp_path, entry.final_path)) {
            for (const QString &path : qAsConst(placed))
                safe_remove(path);
            return fail(restore(QStringLiteral("无法将文件移动到位: ") + windows_base_name(entry.filename)));
        }
        placed << entry.final_path;
    }
    for (const auto &moved : qAsConst(set_aside))
        safe_remove(moved.second);
    return Outcome::Done;
}

TaskRun::Outcome TaskRun::probe(const QString &url, const QString &filename)
{
    HttpRequest request;
    request.url = url;
    request.timeout_ms = kProbeTimeoutMs;
    request.follow_redirects = false;
    request.abort = &cancelled;
    const HttpResponse response = session().head(request);
    if (cancelled)
        return Outcome::Cancelled;
    if (!response.ok())
        return fail(response.error);

    TransferEntry entry;
    entry.redirected = response.status >= 300 && response.status < 400;
    const QByteArray length = response.header("Content-Length");
    if (!length.isNull()) {
        bool number = false;
        entry.announced = length.trimmed().toLongLong(&number);
        if (!number || entry.announced < 0)
            return fail(QStringLiteral("无效的文件大小: ") + QString::fromLatin1(length));
    }
    total_size += entry.announced;
    entry.url = url;
    entry.filename = filename;
    entry.final_path = join_path(install_path, windows_base_name(filename));
    entry.temp_path = entry.final_path + QStringLiteral(".tmp");
    entries.append(entry);
    return Outcome::Done;
}

TaskRun::Outcome TaskRun::fetch(const TransferEntry &entry)
{
    QFile file(entry.temp_path);
    QString failure;
    qint64 received = 0;

    const HttpSession::HeadersHandler on_headers = [&](const HttpResponse &response) {
        if (response.status >= 400) {
            failure = QStringLiteral("服务器返回错误 %1: ").arg(response.status) + entry.filename;
            return false;
        }
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            failure = QStringLiteral("无法写入文件: ") + entry.temp_path + QStringLiteral(" - ") + file.errorString();
            return false;
        }
        return true;
    };
    const HttpSession::PieceHandler on_piece = [&](const char *data, size_t size) {
        if (cancelled)
            return false;
        if (size == 0)
            return true;
        if (file.write(data, qint64(size)) != qint64(size) || !file.flush()) {
            failure = QStringLiteral("无法写入文件: ") + entry.temp_path + QStringLiteral(" - ") + file.errorString();
            return false;
        }
        received += qint64(size);
        downloaded += qint64(size);
        if (total_size <= 0) {
            failure = QStringLiteral("服务器未提供文件大小，无法计算下载进度");
            return false;
        }
        report(int(double(downloaded) / double(total_size) * 100.0));
        // Events posted to this thread are handled between pieces. The thread has no
        // timers or sockets, so a full event-loop pass (a poll of the operating system
        // per piece, some 8% of the transfer's CPU) would add nothing.
        QCoreApplication::sendPostedEvents();
        return true;
    };

    HttpRequest request;
    request.url = entry.url;
    request.timeout_ms = kTransferTimeoutMs;
    request.follow_redirects = true;
    request.abort = &cancelled;
    const HttpResponse response = session().get_streamed(request, on_headers, on_piece);
    file.close();

    if (cancelled)
        return Outcome::Cancelled;
    if (!failure.isEmpty())
        return fail(failure);
    if (!response.ok())
        return fail(response.error);
    // Without a length of its own, a body that ends early looks complete to the client;
    // the probe's size tells a dropped connection from a whole file, unless the probe
    // was answered by a redirect (a GET with a length of its own is checked by the client).
    if (response.header("Content-Length").isNull() && !entry.redirected && received < entry.announced)
        return fail(QStringLiteral("文件下载不完整: %1 (%2/%3 字节)")
                        .arg(entry.filename)
                        .arg(received)
                        .arg(entry.announced));
    return Outcome::Done;
}

void TaskRun::remove_temp_files() const
{
    for (const TransferEntry &entry : entries)
        safe_remove(entry.temp_path);
}

} // namespace

DownloadWorker::DownloadWorker(DownloadTask task, quint64 serial)
    : task(std::move(task))
    , serial(serial)
{
}

bool DownloadWorker::cancel()
{
    int phase = Transferring;
    if (!_phase.compare_exchange_strong(phase, Cancelled) && phase == Moving)
        return false;
    _is_cancelled = true;
    return true;
}

bool DownloadWorker::_begin_move()
{
    int phase = Transferring;
    return _phase.compare_exchange_strong(phase, Moving);
}

void DownloadWorker::run()
{
    const QVariantMap skin = task->value(QStringLiteral("skin_data")).toMap();
    const QString skin_name = skin.value(QStringLiteral("name")).toString();
    const QString install_path = join_path(task->value(QStringLiteral("game_dir")).toString(), MOD_SUBDIR);

    TaskRun run(
        skin, install_path, _is_cancelled,
        [this, &skin_name](int percent) { DownloadManager::instance()->update_progress(serial, skin_name, percent); },
        [this] { return _begin_move(); });
    const TaskRun::Outcome outcome = run.execute();
    if (outcome != TaskRun::Outcome::Done)
        run.remove_temp_files();
    if (outcome == TaskRun::Outcome::Failed)
        emit error(skin_name, run.message);
    else if (outcome == TaskRun::Outcome::Done)
        emit finished(skin_name);
}
