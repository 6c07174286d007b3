#include "download/download_worker.h"

#include "app/config.h"
#include "app/endpoints.h"
#include "app/http_session.h"
#include "app/logging.h"
#include "download/block_writer.h"
#include "download/file_checks.h"
#include "download/install_manifest.h"
#include "download/resume_plan.h"
#include "download/safe_file_ops.h"
#include "download/set_aside.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QVariantMap>
#include <QVector>

#include <functional>
#include <limits>

namespace {

constexpr int kProbeTimeoutMs = 10000;
constexpr int kTransferTimeoutMs = 60000;

struct TransferEntry {
    QString url;
    QString filename;  // as the catalogue names it
    QString temp_path;
    QString final_path;
    FileChecks checks;       // what the catalogue promises about the file
    qint64 announced = 0;    // size for the progress: the catalogue's, else the probe's, else 0
    qint64 whole_size = -1;  // the file's size where the catalogue or the probe tells it
    QByteArray sha256;       // of the file as it arrived
};

// The first answer's validator, for "If-Range": a strong ETag, else Last-Modified. A value
// that could not stand in a header line is not sent back.
QByteArray validator_of(const HttpResponse &response)
{
    QByteArray value = response.header("ETag");
    if (value.isEmpty() || value.startsWith("W/"))
        value = response.header("Last-Modified");
    for (const char c : value)
        if (c < 0x20 || c > 0x7e)
            return {};
    return value;
}

QString size_mismatch(const QString &filename, qint64 size, qint64 expected)
{
    return QStringLiteral("文件大小不符: %1 (%2/%3 字节)").arg(filename).arg(size).arg(expected);
}

int percent_of(qint64 part, qint64 whole)
{
    // The bodies may run past the announced sizes (the percentage then passes 100), but a
    // tiny announced size must not push it past what an int holds.
    const double percent = double(part) / double(whole) * 100.0;
    return int(std::min(percent, double(std::numeric_limits<int>::max())));
}

// The request address carries the catalogue's file name as it stands; the session
// encodes it for the wire.
QString skin_file_url(const QString &main_category, const QString &subcategory, const QString &file_key,
                      const QString &filename)
{
    return SKIN_DOWNLOAD_API + QStringLiteral("?MainCategory=") + main_category + QStringLiteral("&subcategory=")
           + subcategory + QLatin1Char('&') + file_key + QLatin1Char('=') + filename;
}

class TaskRun {
public:
    enum class Outcome { Done, Failed, Cancelled };

    // `begin_move` is asked once both files have arrived; false means the task was
    // cancelled, true that a cancel is refused from then on.
    TaskRun(const QVariantMap &skin, QString install_path, const std::atomic_bool &cancelled,
            std::function<void(int)> report, std::function<bool()> begin_move)
        : skin(skin)
        , install_path(std::move(install_path))
        , cancelled(cancelled)
        , report(std::move(report))
        , begin_move(std::move(begin_move))
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
    // How one request for a file's body ended.
    enum class Ending {
        Whole,
        Cut,           // the connection ended before the body was whole
        NotContinued,  // a request for the rest was answered with something else
        Failed,
        Cancelled,
    };
    // One file across the requests it may take.
    struct FileTransfer {
        explicit FileTransfer(const TransferEntry &entry)
            : entry(entry)
            , file(entry.temp_path)
            , expected(entry.whole_size)
        {
        }
        const TransferEntry &entry;
        BlockWriter file;
        qint64 expected;       // the whole file's size, -1 when unknown
        qint64 counted = 0;    // bytes of this file already in `downloaded`
        QByteArray validator;  // of the first answer, for a request of the rest
    };

    Outcome probe(const QString &url, const QString &filename, const FileChecks &checks);
    Outcome fetch(TransferEntry &entry);
    Ending request(FileTransfer &transfer, bool resume);
    // Waits, or less when the task is cancelled meanwhile; false then.
    bool pause_unless_cancelled(int ms) const;
    static QString write_failure(const FileTransfer &transfer);
    static QString size_failure(const FileTransfer &transfer, qint64 size);
    Outcome put_in_place();
    void remember_install() const;

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
    log_info(QStringLiteral("已创建或确认目录存在: ") + shown_path(install_path));

    const QString main_category = skin.value(QStringLiteral("MainCategory")).toString();
    const QString subcategory = skin.value(QStringLiteral("subcategory")).toString();
    const QString pak_filename = skin.value(QStringLiteral("pak_original")).toString();
    const QString sig_filename = skin.value(QStringLiteral("sig_original")).toString();

    // The server marks a skin that must be bought by a name that is no .pak.
    if (!pak_filename.endsWith(QLatin1String(".pak")))
        return fail(QStringLiteral("此皮肤需要购买: ") + pak_filename);
    for (const QString &filename : {pak_filename, sig_filename}) {
        const QString name = windows_base_name(filename);
        if (!usable_file_name(name) || install_manifest::is_manifest_name(name))
            return fail(QStringLiteral("无效的文件名: ") + filename);
    }
    const FileChecks pak_checks = file_checks(skin, QStringLiteral("pak"));
    const FileChecks sig_checks = file_checks(skin, QStringLiteral("sig"));
    if (!pak_checks.usable || !sig_checks.usable)
        return fail(QStringLiteral("无效的文件校验信息: ") + (pak_checks.usable ? sig_filename : pak_filename));

    // Both sizes are known before the first byte is fetched, so progress spans both files.
    Outcome outcome = probe(skin_file_url(main_category, subcategory, QStringLiteral("pak_original"), pak_filename),
                            pak_filename, pak_checks);
    if (outcome == Outcome::Done)
        outcome = probe(skin_file_url(main_category, subcategory, QStringLiteral("sig_original"), sig_filename),
                        sig_filename, sig_checks);
    if (outcome != Outcome::Done)
        return outcome;

    for (TransferEntry &entry : entries) {
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
    outcome = put_in_place();
    if (outcome == Outcome::Done)
        remember_install();
    return outcome;
}

void TaskRun::remember_install() const
{
    QList<QPair<QString, QByteArray>> files;
    for (const TransferEntry &entry : entries)
        files.append({QFileInfo(entry.final_path).fileName(), entry.sha256});
    install_manifest::record(install_path, files);
}

TaskRun::Outcome TaskRun::put_in_place()
{
    // As a pair, so that no failure, crash or forced exit leaves a new .pak beside an old .sig.
    QStringList installed_paths;
    for (const TransferEntry &entry : entries)
        installed_paths << entry.final_path;
    const QString failure = PairMove(installed_paths).run();
    return failure.isEmpty() ? Outcome::Done : fail(failure);
}

TaskRun::Outcome TaskRun::probe(const QString &url, const QString &filename, const FileChecks &checks)
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
    entry.checks = checks;
    // A redirect's own length is not the file's.
    const bool redirected = response.status >= 300 && response.status < 400;
    const QByteArray length = response.header("Content-Length");
    if (!length.isNull()) {
        bool number = false;
        entry.announced = length.trimmed().toLongLong(&number);
        if (!number || entry.announced < 0 || entry.announced > std::numeric_limits<qint64>::max() - total_size)
            return fail(QStringLiteral("无效的文件大小: ") + QString::fromLatin1(length));
        if (!redirected)
            entry.whole_size = entry.announced;
    }
    if (checks.size >= 0) {
        if (entry.whole_size >= 0 && entry.whole_size != checks.size)
            return fail(size_mismatch(filename, entry.whole_size, checks.size));
        entry.whole_size = entry.announced = checks.size;
        if (entry.announced > std::numeric_limits<qint64>::max() - total_size)
            return fail(QStringLiteral("无效的文件大小: %1").arg(checks.size));
    }
    total_size += entry.announced;
    entry.url = url;
    entry.filename = filename;
    entry.final_path = join_path(install_path, windows_base_name(filename));
    entry.temp_path = entry.final_path + QStringLiteral(".tmp");
    entries.append(entry);
    return Outcome::Done;
}

TaskRun::Outcome TaskRun::fetch(TransferEntry &entry)
{
    FileTransfer transfer(entry);
    ResumePlan plan;
    Ending ending = request(transfer, false);
    for (;;) {
        switch (ending) {
        case Ending::Whole:
            if (!transfer.file.finish())
                return fail(write_failure(transfer));
            entry.sha256 = transfer.file.sha256();
            // Checked before anything is moved: a file that is not the published one
            // never replaces what is installed.
            if (!entry.checks.sha256.isEmpty() && entry.sha256 != entry.checks.sha256)
                return fail(QStringLiteral("文件校验失败: ") + entry.filename);
            return Outcome::Done;
        case Ending::Cancelled:
            return Outcome::Cancelled;
        case Ending::Failed:
            return Outcome::Failed;
        case Ending::Cut: {
            // Without a known size no answer could be checked to end where the file ends.
            const int pause = transfer.expected >= 0 ? plan.next_pause_ms() : -1;
            if (pause < 0)
                return Outcome::Failed;
            log_warning(QStringLiteral("下载中断，%1 秒后继续: %2 (%3/%4 字节) - %5")
                            .arg(pause / 1000)
                            .arg(entry.filename)
                            .arg(transfer.file.size())
                            .arg(transfer.expected)
                            .arg(message));
            if (!pause_unless_cancelled(pause))
                return Outcome::Cancelled;
            ending = request(transfer, true);
            break;
        }
        case Ending::NotContinued:
            if (!plan.take_restart())
                return fail(QStringLiteral("服务器无法继续传输文件: ") + entry.filename);
            log_warning(QStringLiteral("服务器未从中断处继续，重新下载: ") + entry.filename);
            if (!transfer.file.restart())
                return fail(write_failure(transfer));
            ending = request(transfer, false);
            break;
        }
    }
}

TaskRun::Ending TaskRun::request(FileTransfer &transfer, bool resume)
{
    const TransferEntry &entry = transfer.entry;
    const qint64 from = transfer.file.size();
    QString failure;
    bool not_continued = false;

    const HttpSession::HeadersHandler on_headers = [&](const HttpResponse &response) {
        // Only a 200, or a 206 to a request for the rest, brings the file; anything else (a
        // 204, a 304, a redirect without a place to go) would be written as the skin.
        if (response.status != 200 && !(resume && response.status == 206)) {
            failure = QStringLiteral("服务器返回错误 %1: ").arg(response.status) + entry.filename;
            return false;
        }
        if (resume) {
            if (ResumePlan::judge(response.status, response.header("Content-Range"), response.header("Content-Length"),
                                  from, transfer.expected)
                != ResumePlan::Answer::Continue) {
                not_continued = true;
                return false;
            }
            log_info(QStringLiteral("继续下载: %1 (从第 %2 字节起)").arg(entry.filename).arg(from));
        } else {
            // The whole file's own length, where the answer gives one, is what a later
            // request for the rest must end at.
            bool number = false;
            const qint64 length = response.header("Content-Length").trimmed().toLongLong(&number);
            if (number && length >= 0) {
                if (entry.checks.size >= 0 && length != entry.checks.size) {
                    failure = size_failure(transfer, length);
                    return false;
                }
                transfer.expected = length;
            }
            transfer.validator = validator_of(response);
        }
        // Opened at the first answer: a connection that broke before any gets no file yet.
        if (!transfer.file.is_open() && !transfer.file.open()) {
            failure = write_failure(transfer);
            return false;
        }
        return true;
    };
    const HttpSession::PieceHandler on_piece = [&](const char *data, size_t size) {
        if (cancelled)
            return false;
        if (size == 0)
            return true;
        // Not a byte past the file's known end: a server that sends more is not sending it.
        if (transfer.expected >= 0 && transfer.file.size() + qint64(size) > transfer.expected) {
            failure = size_failure(transfer, transfer.file.size() + qint64(size));
            return false;
        }
        if (!transfer.file.append(data, qint64(size))) {
            failure = write_failure(transfer);
            return false;
        }
        // Bytes fetched again after a restart were counted the first time: progress only
        // moves on once the file grows past what it had.
        if (transfer.file.size() > transfer.counted) {
            downloaded += transfer.file.size() - transfer.counted;
            transfer.counted = transfer.file.size();
        }
        if (total_size <= 0) {
            failure = QStringLiteral("服务器未提供文件大小，无法计算下载进度");
            return false;
        }
        report(percent_of(downloaded, total_size));
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
    request.range_from = resume ? from : -1;
    if (resume)
        request.if_range = transfer.validator;
    const HttpResponse response = session().get_streamed(request, on_headers, on_piece);

    if (cancelled)
        return Ending::Cancelled;
    if (!failure.isEmpty()) {
        message = failure;
        return Ending::Failed;
    }
    if (not_continued)
        return Ending::NotContinued;
    if (!response.ok()) {
        message = response.error;
        return response.cut_short ? Ending::Cut : Ending::Failed;
    }
    // Where the file's size is known, only exactly that size is the whole file: a body
    // without a length of its own that ends early looks complete to the client.
    if (transfer.expected >= 0 && transfer.file.size() < transfer.expected) {
        message = QStringLiteral("文件下载不完整: %1 (%2/%3 字节)")
                      .arg(entry.filename)
                      .arg(transfer.file.size())
                      .arg(transfer.expected);
        return Ending::Cut;
    }
    return Ending::Whole;
}

bool TaskRun::pause_unless_cancelled(int ms) const
{
    QElapsedTimer clock;
    clock.start();
    while (!cancelled) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0)
            return true;
        QThread::msleep(ulong(std::min<qint64>(left, 10)));
    }
    return false;
}

QString TaskRun::write_failure(const FileTransfer &transfer)
{
    return QStringLiteral("无法写入文件: ") + shown_path(transfer.entry.temp_path) + QStringLiteral(" - ")
           + transfer.file.error_string();
}

QString TaskRun::size_failure(const FileTransfer &transfer, qint64 size)
{
    return size_mismatch(transfer.entry.filename, size, transfer.expected);
}

void TaskRun::remove_temp_files() const
{
    for (const TransferEntry &entry : entries)
        safe_remove(entry.temp_path);
}

}  // namespace

DownloadWorker::DownloadWorker(DownloadTask task, ProgressSink report_progress)
    : task(std::move(task))
    , _report_progress(std::move(report_progress))
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
    const QVariantMap skin = task_skin_data(task);
    const QString skin_name = task_skin_name(task);
    const QString install_path = join_path(task_game_dir(task), MOD_SUBDIR);

    TaskRun run(skin, install_path, _is_cancelled, _report_progress, [this] { return _begin_move(); });
    const TaskRun::Outcome outcome = run.execute();
    if (outcome != TaskRun::Outcome::Done)
        run.remove_temp_files();
    if (outcome == TaskRun::Outcome::Failed)
        emit error(skin_name, run.message);
    else if (outcome == TaskRun::Outcome::Done)
        emit finished(skin_name);
}
