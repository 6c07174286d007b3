#include "app/http_exchange.h"

#include "app/http_shared.h"

#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

// What stays the same across the attempts of one request.
struct Exchange {
    Exchange(const HttpRequest &request, ExchangeMode mode)
        : request(request)
        , mode(mode)
        , url(HttpSession::wire_url(request.url))
        , range(QByteArray::number(request.range_from) + '-')
        , deadline(request.total_ms > 0 ? Clock::now() + std::chrono::milliseconds(request.total_ms)
                                        : Clock::time_point::max())
        , extra_headers(request.range_from >= 0 && !request.if_range.isEmpty()
                            ? curl_slist_append(nullptr, ("If-Range: " + request.if_range).constData())
                            : nullptr,
                        &curl_slist_free_all)
    {
    }

    const HttpRequest &request;
    const ExchangeMode mode;
    const QByteArray url;
    const QByteArray range;
    const Clock::time_point deadline;
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> extra_headers;
};

// One attempt's answer as libcurl hands it over.
struct Transfer {
    HttpResponse response;
    const HttpSession::HeadersHandler *on_headers = nullptr;
    const HttpSession::PieceHandler *on_piece = nullptr;
    bool streaming = false;
    bool headers_reported = false;
    bool stopped_by_caller = false;
    qint64 max_body = 0;
    Clock::time_point last_activity = Clock::now();

    bool report_headers()
    {
        if (headers_reported)
            return true;
        headers_reported = true;
        if (on_headers && !(*on_headers)(response)) {
            stopped_by_caller = true;
            return false;
        }
        return true;
    }

    static size_t on_header_line(char *data, size_t size, size_t count, void *self)
    {
        auto *t = static_cast<Transfer *>(self);
        const size_t length = size * count;
        t->last_activity = Clock::now();
        const QByteArray line = QByteArray(data, int(length)).trimmed();
        if (line.startsWith("HTTP/")) {
            // A new answer begins (the first one, or the next after a redirect or 100).
            t->response.headers.clear();
            const QList<QByteArray> parts = line.split(' ');
            t->response.status = parts.size() > 1 ? parts.at(1).toInt() : 0;
        } else if (const int colon = line.indexOf(':'); colon > 0) {
            t->response.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        return length;
    }

    static size_t on_body(char *data, size_t size, size_t count, void *self)
    {
        auto *t = static_cast<Transfer *>(self);
        const size_t length = size * count;
        t->last_activity = Clock::now();
        if (!t->report_headers())
            return 0;
        if (!t->streaming) {
            if (t->max_body > 0 && qint64(t->response.body.size()) + qint64(length) > t->max_body) {
                t->response.too_large = true;
                return 0;
            }
            t->response.body.append(data, int(length));
            return length;
        }
        for (size_t offset = 0; offset < length; offset += HttpSession::kMaxPiece) {
            const size_t piece = std::min(HttpSession::kMaxPiece, length - offset);
            if (!(*t->on_piece)(data + offset, piece)) {
                t->stopped_by_caller = true;
                return 0;
            }
        }
        return length;
    }
};

struct Attempt {
    CURLcode result = CURLE_OK;
    bool past_deadline = false;
};

// The options of every libcurl handle of the program, written here alone.
void configure(const ExchangeHandles &with, const Exchange &exchange, Transfer &transfer, char *error_text)
{
    CURL *easy = with.handles.easy;
    curl_easy_reset(easy);
    curl_easy_setopt(easy, CURLOPT_URL, exchange.url.constData());
    if (with.share)
        curl_easy_setopt(easy, CURLOPT_SHARE, with.share);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // libcurl would also speak, or follow a server's redirect to, file:, ftp: and the like.
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, exchange.request.follow_redirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 30L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    with.authorities.apply(easy);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error_text);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(exchange.request.timeout_ms));
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 64L * 1024L);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::on_header_line);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::on_body);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    if (exchange.mode == ExchangeMode::Head)
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    if (exchange.request.range_from >= 0)
        curl_easy_setopt(easy, CURLOPT_RANGE, exchange.range.constData());
    if (exchange.extra_headers)
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, exchange.extra_headers.get());
}

bool connection_made(CURL *easy)
{
    curl_off_t connected = 0;
    curl_easy_getinfo(easy, CURLINFO_PRETRANSFER_TIME_T, &connected);
    return connected > 0;
}

// Runs the transfer until libcurl ends it, the caller aborts it, the whole request's time
// is up or the connected server falls silent for longer than the time-out.
Attempt drive(CurlHandles &handles, const Exchange &exchange, Transfer &transfer)
{
    const HttpRequest &request = exchange.request;
    const auto timeout = std::chrono::milliseconds(request.timeout_ms);
    Attempt attempt;
    bool connected = false;
    curl_multi_add_handle(handles.multi, handles.easy);
    transfer.last_activity = Clock::now();
    for (;;) {
        int running = 0;
        if (curl_multi_perform(handles.multi, &running) != CURLM_OK) {
            attempt.result = CURLE_RECV_ERROR;
            break;
        }
        int queued = 0;
        bool done = false;
        while (CURLMsg *message = curl_multi_info_read(handles.multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                attempt.result = message->data.result;
                done = true;
            }
        }
        if (done)
            break;
        if (request.abort && request.abort->load()) {
            transfer.response.aborted = true;
            attempt.result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        const auto now = Clock::now();
        if (now >= exchange.deadline) {
            attempt.past_deadline = true;
            transfer.response.timed_out = true;
            attempt.result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        if (!connected && connection_made(handles.easy)) {
            connected = true;
            transfer.last_activity = now;
        }
        if (connected && now - transfer.last_activity > timeout) {
            transfer.response.timed_out = true;
            attempt.result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        curl_multi_poll(handles.multi, nullptr, 0, 50, nullptr);
    }
    curl_multi_remove_handle(handles.multi, handles.easy);
    return attempt;
}

// The connection broke or closed after it was made, before the answer was whole.
bool is_cut_short(CURLcode code)
{
    switch (code) {
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return true;
    default:
        return false;
    }
}

// An attempt that failed before the server saw the request, with time left for another.
bool worth_retrying(const Exchange &exchange, const Transfer &transfer, const Attempt &attempt, CURL *easy)
{
    return attempt.result != CURLE_OK && !transfer.stopped_by_caller && !transfer.response.too_large
           && !transfer.response.aborted && Clock::now() < exchange.deadline
           && is_connection_failure(attempt.result, connection_made(easy));
}

HttpResponse conclude(const Exchange &exchange, Transfer &transfer, const Attempt &attempt, const char *error_text)
{
    const HttpRequest &request = exchange.request;
    HttpResponse &response = transfer.response;
    if (attempt.result == CURLE_OK) {
        if (exchange.mode != ExchangeMode::Head)
            transfer.report_headers();
        return response;
    }
    if (transfer.stopped_by_caller) {
        response.aborted = true;
        response.error = QStringLiteral("transfer stopped");
        return response;
    }
    if (response.too_large) {
        response.error =
            QStringLiteral("Response body larger than %1 bytes for %2").arg(request.max_body_bytes).arg(request.url);
        return response;
    }
    if (attempt.result == CURLE_OPERATION_TIMEDOUT)
        response.timed_out = true;
    response.cut_short = !response.aborted && is_cut_short(attempt.result);
    if (response.aborted)
        response.error = QStringLiteral("transfer aborted");
    else if (attempt.past_deadline)
        response.error = QStringLiteral("Request took longer than %1 ms for %2").arg(request.total_ms).arg(request.url);
    else if (response.timed_out)
        response.error = QStringLiteral("Read timed out (%1 ms) for %2").arg(request.timeout_ms).arg(request.url);
    else
        response.error = QString::fromUtf8(error_text[0] ? error_text : curl_easy_strerror(attempt.result));
    return response;
}

}  // namespace

bool is_connection_failure(int curl_code, bool connected)
{
    switch (curl_code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
        return true;
    case CURLE_OPERATION_TIMEDOUT:
        return !connected;
    default:
        return false;
    }
}

HttpResponse run_exchange(const ExchangeHandles &with, const HttpRequest &request, ExchangeMode mode,
                          const HttpSession::HeadersHandler *on_headers, const HttpSession::PieceHandler *on_piece)
{
    const Exchange exchange(request, mode);
    for (int attempt_number = 0;; ++attempt_number) {
        Transfer transfer;
        transfer.on_headers = on_headers;
        transfer.on_piece = on_piece;
        transfer.streaming = mode == ExchangeMode::Stream;
        transfer.max_body = request.max_body_bytes;
        char error_text[CURL_ERROR_SIZE] = {};
        configure(with, exchange, transfer, error_text);
        const Attempt attempt = drive(with.handles, exchange, transfer);
        if (attempt_number < HttpSession::kConnectRetries
            && worth_retrying(exchange, transfer, attempt, with.handles.easy))
            continue;
        return conclude(exchange, transfer, attempt, error_text);
    }
}
