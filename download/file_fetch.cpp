#include "download/file_fetch.h"

#include "app/http_session.h"
#include "app/logging.h"
#include "download/resume_plan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <limits>

namespace {

constexpr int kTransferTimeoutMs = 60000;

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

int percent_of(qint64 part, qint64 whole)
{
    // The bodies may run past the announced sizes (the percentage then passes 100), but a
    // tiny announced size must not push it past what an int holds.
    const double percent = double(part) / double(whole) * 100.0;
    return int(std::min(percent, double(std::numeric_limits<int>::max())));
}

}  // namespace

QString size_mismatch(const QString &filename, qint64 size, qint64 expected)
{
    return QStringLiteral("文件大小不符: %1 (%2/%3 字节)").arg(filename).arg(size).arg(expected);
}

FileFetch::FileFetch(TransferEntry &entry, const std::atomic_bool &cancelled, TaskProgress &progress)
    : entry(entry)
    , cancelled(cancelled)
    , progress(progress)
    , file(entry.temp_path)
    , expected(entry.whole_size)
{
}

TaskOutcome FileFetch::run()
{
    ResumePlan plan;
    Ending ending = request(false);
    for (;;) {
        switch (ending) {
        case Ending::Whole:
            return finish_whole();
        case Ending::Cancelled:
            return TaskOutcome::Cancelled;
        case Ending::Failed:
            return TaskOutcome::Failed;
        case Ending::Cut: {
            // Without a known size no answer could be checked to end where the file ends.
            const int pause = expected >= 0 ? plan.next_pause_ms() : -1;
            if (pause < 0)
                return TaskOutcome::Failed;
            log_warning(QStringLiteral("下载中断，%1 秒后继续: %2 (%3/%4 字节) - %5")
                            .arg(pause / 1000)
                            .arg(entry.filename)
                            .arg(file.size())
                            .arg(expected)
                            .arg(message));
            if (!pause_unless_cancelled(pause))
                return TaskOutcome::Cancelled;
            ending = request(true);
            break;
        }
        case Ending::NotContinued:
            if (!plan.take_restart())
                return fail(QStringLiteral("服务器无法继续传输文件: ") + entry.filename);
            log_warning(QStringLiteral("服务器未从中断处继续，重新下载: ") + entry.filename);
            if (!file.restart())
                return fail(write_failure());
            ending = request(false);
            break;
        }
    }
}

TaskOutcome FileFetch::finish_whole()
{
    if (!file.finish())
        return fail(write_failure());
    entry.sha256 = file.sha256();
    // Checked before anything is moved: a file that is not the published one never
    // replaces what is installed.
    if (!entry.checks.sha256.isEmpty() && entry.sha256 != entry.checks.sha256)
        return fail(QStringLiteral("文件校验失败: ") + entry.filename);
    return TaskOutcome::Done;
}

FileFetch::Ending FileFetch::request(bool resume)
{
    resuming = resume;
    resumed_from = file.size();
    failure.clear();
    not_continued = false;

    HttpRequest request;
    request.url = entry.url;
    request.timeout_ms = kTransferTimeoutMs;
    request.follow_redirects = true;
    request.abort = &cancelled;
    request.range_from = resume ? resumed_from : -1;
    if (resume)
        request.if_range = validator;
    const HttpResponse response = session().get_streamed(
        request, [this](const HttpResponse &answer) { return take_headers(answer); },
        [this](const char *data, size_t size) { return take_piece(data, size); });
    return ending_of(response);
}

bool FileFetch::take_headers(const HttpResponse &response)
{
    // Only a 200, or a 206 to a request for the rest, brings the file; anything else (a
    // 204, a 304, a redirect without a place to go) would be written as the skin.
    if (response.status != 200 && !(resuming && response.status == 206)) {
        failure = QStringLiteral("服务器返回错误 %1: ").arg(response.status) + entry.filename;
        return false;
    }
    if (resuming) {
        if (ResumePlan::judge(response.status, response.header("Content-Range"), response.header("Content-Length"),
                              resumed_from, expected)
            != ResumePlan::Answer::Continue) {
            not_continued = true;
            return false;
        }
        log_info(QStringLiteral("继续下载: %1 (从第 %2 字节起)").arg(entry.filename).arg(resumed_from));
    } else {
        // The whole file's own length, where the answer gives one, is what a later request
        // for the rest must end at.
        bool number = false;
        const qint64 length = response.header("Content-Length").trimmed().toLongLong(&number);
        if (number && length >= 0) {
            if (entry.checks.size >= 0 && length != entry.checks.size) {
                failure = size_mismatch(entry.filename, length, expected);
                return false;
            }
            expected = length;
        }
        validator = validator_of(response);
    }
    // Opened at the first answer: a connection that broke before any gets no file yet.
    if (!file.is_open() && !file.open()) {
        failure = write_failure();
        return false;
    }
    return true;
}

bool FileFetch::take_piece(const char *data, size_t size)
{
    if (cancelled)
        return false;
    if (size == 0)
        return true;
    // Not a byte past the file's known end: a server that sends more is not sending it.
    if (expected >= 0 && file.size() + qint64(size) > expected) {
        failure = size_mismatch(entry.filename, file.size() + qint64(size), expected);
        return false;
    }
    if (!file.append(data, qint64(size))) {
        failure = write_failure();
        return false;
    }
    // Bytes fetched again after a restart were counted the first time: progress only moves
    // on once the file grows past what it had.
    if (file.size() > counted) {
        progress.downloaded += file.size() - counted;
        counted = file.size();
    }
    if (progress.total_size <= 0) {
        failure = QStringLiteral("服务器未提供文件大小，无法计算下载进度");
        return false;
    }
    progress.report(percent_of(progress.downloaded, progress.total_size));
    // Events posted to this thread are handled between pieces. The thread has no timers or
    // sockets, so a full event-loop pass (a poll of the operating system per piece, some 8%
    // of the transfer's CPU) would add nothing.
    QCoreApplication::sendPostedEvents();
    return true;
}

FileFetch::Ending FileFetch::ending_of(const HttpResponse &response)
{
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
    if (expected >= 0 && file.size() < expected) {
        message = QStringLiteral("文件下载不完整: %1 (%2/%3 字节)").arg(entry.filename).arg(file.size()).arg(expected);
        return Ending::Cut;
    }
    return Ending::Whole;
}

bool FileFetch::pause_unless_cancelled(int ms) const
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

TaskOutcome FileFetch::fail(const QString &description)
{
    message = description;
    return TaskOutcome::Failed;
}

QString FileFetch::write_failure() const
{
    return QStringLiteral("无法写入文件: ") + shown_path(entry.temp_path) + QStringLiteral(" - ") + file.error_string();
}
