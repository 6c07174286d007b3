#include "app/http_session.h"

#include "app/config.h"
#include "app/system_roots.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <QUrl>

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// DNS cache and TLS sessions are shared between threads; libcurl asks us to lock them.
struct SharedCaches {
    CURLSH *handle = nullptr;
    std::mutex locks[CURL_LOCK_DATA_LAST];
    // System store + ZORBEL_CA_FILE, when the latter is set. On Linux a file rather than a
    // blob: libcurl keeps the certificate store it builds from a file in the multi handle,
    // so that only the first connection of a handle pays for parsing it. Schannel reads
    // the authorities at every handshake wherever they come from, so Windows takes them
    // from memory: no file left behind, none held open (Windows refuses a second open).
#ifdef Q_OS_WIN
    std::string ca_pem;
#else
    std::unique_ptr<QTemporaryFile> ca_bundle;
#endif

    SharedCaches()
    {
        handle = curl_share_init();
        curl_share_setopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(handle, CURLSHOPT_USERDATA, this);
        curl_share_setopt(handle, CURLSHOPT_LOCKFUNC, &SharedCaches::lock);
        curl_share_setopt(handle, CURLSHOPT_UNLOCKFUNC, &SharedCaches::unlock);
        const std::string pem = trusted_certificates();
        if (pem.empty())
            return;
#ifdef Q_OS_WIN
        ca_pem = pem;
#else
        ca_bundle = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("zorbel-ca-XXXXXX.pem")));
        if (ca_bundle->open()) {
            ca_bundle->write(pem.data(), qint64(pem.size()));
            ca_bundle->flush();
        }
#endif
    }

    void apply_trust(CURL *easy) const
    {
#ifdef Q_OS_WIN
        if (!ca_pem.empty()) {
            curl_blob blob{const_cast<char *>(ca_pem.data()), ca_pem.size(), CURL_BLOB_NOCOPY};
            curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
        }
#else
        if (ca_bundle)
            curl_easy_setopt(easy, CURLOPT_CAINFO, QFile::encodeName(ca_bundle->fileName()).constData());
#endif
    }

    static void lock(CURL *, curl_lock_data data, curl_lock_access, void *self)
    {
        static_cast<SharedCaches *>(self)->locks[data].lock();
    }
    static void unlock(CURL *, curl_lock_data data, void *self)
    {
        static_cast<SharedCaches *>(self)->locks[data].unlock();
    }
};

SharedCaches &shared()
{
    static auto *caches = new SharedCaches;  // lives until the process ends
    return *caches;
}

// An easy handle and a multi handle that serve one request at a time: the multi handle
// owns the connection cache and the certificate store, so later requests reuse both.
struct Handles {
    CURL *easy = curl_easy_init();
    CURLM *multi = curl_multi_init();
    Handles()
    {
        // 20 host pools of up to 100 connections each.
        curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, 20L * 100L);
    }
    ~Handles()
    {
        curl_easy_cleanup(easy);
        curl_multi_cleanup(multi);
    }
};

// Each request borrows a set of handles for its duration and returns it afterwards, so a
// new download thread starts with a built certificate store and warm connections, and no
// set is ever used by two threads at once (libcurl allows a handle on any thread, one at
// a time). Nothing is tied to thread exit: on Windows (MinGW), handles kept in thread-local
// storage hung the process when a thread or the program ended.
class HandlePool {
public:
    std::unique_ptr<Handles> take()
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (idle.empty())
            return std::make_unique<Handles>();
        std::unique_ptr<Handles> handles = std::move(idle.back());
        idle.pop_back();
        return handles;
    }
    void give_back(std::unique_ptr<Handles> handles)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (idle.size() < kKept)
            idle.push_back(std::move(handles));
    }

private:
    static constexpr size_t kKept = 4;
    std::mutex mutex;
    std::vector<std::unique_ptr<Handles>> idle;
};

HandlePool &handle_pool()
{
    static auto *pool = new HandlePool;  // lives until the process ends
    return *pool;
}

// The handles of one request, back in the pool when it ends.
struct Lease {
    std::unique_ptr<Handles> handles = handle_pool().take();
    ~Lease() { handle_pool().give_back(std::move(handles)); }
};

struct Transfer {
    HttpResponse response;
    const HttpSession::HeadersHandler *on_headers = nullptr;
    const HttpSession::PieceHandler *on_piece = nullptr;
    bool streaming = false;
    bool headers_reported = false;
    bool stopped_by_caller = false;
    qint64 max_body = 0;
    bool too_large = false;
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
                t->too_large = true;
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

bool connection_made(CURL *easy)
{
    curl_off_t connected = 0;
    curl_easy_getinfo(easy, CURLINFO_PRETRANSFER_TIME_T, &connected);
    return connected > 0;
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

void apply_request_basics(void *easy, bool follow_redirects)
{
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, follow_redirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 30L);
    // libcurl would also follow a server's redirect to file:, ftp: and the like.
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
}

QByteArray HttpResponse::header(const QByteArray &name) const
{
    QByteArray found;
    for (const auto &pair : headers)
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            found = pair.second;
    return found;
}

QByteArray HttpSession::wire_url(const QString &url)
{
    return QUrl(url, QUrl::TolerantMode).toEncoded();
}

void HttpSession::global_init()
{
    curl_global_init(CURL_GLOBAL_ALL);
    shared();
}

HttpResponse HttpSession::head(const HttpRequest &request)
{
    return perform(request, Mode::Head, nullptr, nullptr);
}

HttpResponse HttpSession::get(const HttpRequest &request)
{
    return perform(request, Mode::Get, nullptr, nullptr);
}

HttpResponse HttpSession::get_streamed(const HttpRequest &request, const HeadersHandler &on_headers,
                                       const PieceHandler &on_piece)
{
    return perform(request, Mode::Stream, &on_headers, &on_piece);
}

HttpResponse HttpSession::perform(const HttpRequest &request, Mode mode, const HeadersHandler *on_headers,
                                  const PieceHandler *on_piece)
{
    const Lease lease;
    Handles &handles = *lease.handles;
    CURL *easy = handles.easy;
    const QByteArray url = wire_url(request.url);
    const auto timeout = std::chrono::milliseconds(request.timeout_ms);
    const Clock::time_point deadline =
        request.total_ms > 0 ? Clock::now() + std::chrono::milliseconds(request.total_ms) : Clock::time_point::max();
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> extra_headers(
        request.range_from >= 0 && !request.if_range.isEmpty()
            ? curl_slist_append(nullptr, ("If-Range: " + request.if_range).constData())
            : nullptr,
        &curl_slist_free_all);

    for (int attempt = 0;; ++attempt) {
        Transfer transfer;
        transfer.on_headers = on_headers;
        transfer.on_piece = on_piece;
        transfer.streaming = mode == Mode::Stream;
        transfer.max_body = request.max_body_bytes;
        bool past_deadline = false;
        char error_text[CURL_ERROR_SIZE] = {};

        curl_easy_reset(easy);
        curl_easy_setopt(easy, CURLOPT_URL, url.constData());
        curl_easy_setopt(easy, CURLOPT_SHARE, shared().handle);
        apply_request_basics(easy, request.follow_redirects);
        shared().apply_trust(easy);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error_text);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(request.timeout_ms));
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 64L * 1024L);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::on_header_line);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::on_body);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
        if (mode == Mode::Head)
            curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        const QByteArray range = QByteArray::number(request.range_from) + '-';
        if (request.range_from >= 0)
            curl_easy_setopt(easy, CURLOPT_RANGE, range.constData());
        if (extra_headers)
            curl_easy_setopt(easy, CURLOPT_HTTPHEADER, extra_headers.get());

        curl_multi_add_handle(handles.multi, easy);
        CURLcode result = CURLE_OK;
        bool done = false;
        bool connected = false;
        transfer.last_activity = Clock::now();
        while (!done) {
            int running = 0;
            if (curl_multi_perform(handles.multi, &running) != CURLM_OK) {
                result = CURLE_RECV_ERROR;
                break;
            }
            int queued = 0;
            while (CURLMsg *message = curl_multi_info_read(handles.multi, &queued)) {
                if (message->msg == CURLMSG_DONE) {
                    result = message->data.result;
                    done = true;
                }
            }
            if (done)
                break;
            if (request.abort && request.abort->load()) {
                transfer.response.aborted = true;
                result = CURLE_ABORTED_BY_CALLBACK;
                break;
            }
            const auto now = Clock::now();
            if (now >= deadline) {
                past_deadline = true;
                transfer.response.timed_out = true;
                result = CURLE_OPERATION_TIMEDOUT;
                break;
            }
            if (!connected) {
                curl_off_t connect_time = 0;
                curl_easy_getinfo(easy, CURLINFO_PRETRANSFER_TIME_T, &connect_time);
                if (connect_time > 0) {
                    connected = true;
                    transfer.last_activity = now;
                }
            }
            if (connected && now - transfer.last_activity > timeout) {
                transfer.response.timed_out = true;
                result = CURLE_OPERATION_TIMEDOUT;
                break;
            }
            curl_multi_poll(handles.multi, nullptr, 0, 50, nullptr);
        }
        curl_multi_remove_handle(handles.multi, easy);

        HttpResponse &response = transfer.response;
        if (result == CURLE_OK) {
            if (mode != Mode::Head)
                transfer.report_headers();
            return response;
        }
        if (transfer.stopped_by_caller) {
            response.aborted = true;
            response.error = QStringLiteral("transfer stopped");
            return response;
        }
        if (transfer.too_large) {
            response.error = QStringLiteral("Response body larger than %1 bytes for %2")
                                 .arg(request.max_body_bytes)
                                 .arg(request.url);
            return response;
        }
        if (attempt < kConnectRetries && !response.aborted && Clock::now() < deadline
            && is_connection_failure(result, connection_made(easy)))
            continue;
        if (result == CURLE_OPERATION_TIMEDOUT)
            response.timed_out = true;
        response.cut_short = !response.aborted && is_cut_short(result);
        if (response.aborted)
            response.error = QStringLiteral("transfer aborted");
        else if (past_deadline)
            response.error =
                QStringLiteral("Request took longer than %1 ms for %2").arg(request.total_ms).arg(request.url);
        else if (response.timed_out)
            response.error = QStringLiteral("Read timed out (%1 ms) for %2").arg(request.timeout_ms).arg(request.url);
        else
            response.error = QString::fromUtf8(error_text[0] ? error_text : curl_easy_strerror(result));
        return response;
    }
}

std::string trusted_certificates()
{
    const QString extra = extra_ca_file();
    if (extra.isEmpty())
        return {};
    QByteArray pem = system_root_certificates();
    if (!pem.isEmpty())
        pem += '\n';
    QFile file(extra);
    if (file.open(QIODevice::ReadOnly))
        pem += file.readAll();
    return pem.toStdString();
}

HttpSession &session()
{
    static auto *instance = new HttpSession;  // shared by every thread until the process ends
    return *instance;
}
