#pragma once
// The one HTTP session of the process, on libcurl.
//
// Thread-safe: each request borrows a set of libcurl handles with its kept-alive
// connections for its duration (app/http_shared.h); the exchange itself is
// app/http_exchange.h.
// Rules that hold for every request:
//  - a connection attempt that fails (refused, unresolved, TLS handshake, connect
//    time-out) is retried up to 3 times; a request whose connection was made, and any
//    HTTP status, is never retried;
//  - the time-out bounds connecting and every wait for data; only a request that sets
//    total_ms is bounded as a whole (retries included);
//  - no Accept-Encoding is sent (a body arrives as the server stores it), and only http
//    and https addresses are requested, redirects included;
//  - certificates are always verified (system store plus ZORBEL_CA_FILE, if set);
//  - a body cut short of its Content-Length is an error;
//  - non-ASCII characters and spaces in the address are sent percent-encoded as UTF-8,
//    reserved characters inside query values are sent as they stand.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <atomic>
#include <functional>
#include <string>

struct HttpRequest {
    QString url;
    int timeout_ms = 10000;
    bool follow_redirects = true;
    qint64 range_from = -1;  // when set, asks for the body from this byte on ("Range: bytes=N-")
    // With range_from: the first answer's ETag or Last-Modified, sent as "If-Range" so that a
    // server whose file changed since sends all of the new one instead of the rest.
    QByteArray if_range;
    // The whole request, connection retries included; 0 for no limit.
    int total_ms = 0;
    // A longer body fails the request (not for streamed GETs); 0 for no limit.
    qint64 max_body_bytes = 0;
    // Raised by another thread to end the transfer; takes effect within about 50 ms.
    const std::atomic_bool *abort = nullptr;
};

struct HttpResponse {
    int status = 0;                                // 0 when no answer arrived
    QList<QPair<QByteArray, QByteArray>> headers;  // of the final answer
    QByteArray body;                               // empty for HEAD and for streamed GETs
    QString error;                                 // empty when the exchange completed
    bool aborted = false;                          // ended by the abort flag or by the piece callback
    bool timed_out = false;
    bool cut_short = false;  // the connection ended before the body was whole (reset, closed early)
    bool too_large = false;  // the body passed max_body_bytes

    bool ok() const { return error.isEmpty(); }
    // Case-insensitive look-up; a null QByteArray when the header is absent.
    QByteArray header(const QByteArray &name) const;
};

class HttpSession {
public:
    // Called for each piece of the body (at most 8192 bytes); return false to stop.
    using PieceHandler = std::function<bool(const char *data, size_t size)>;
    // Called once the final answer's status and headers are known, before any piece
    // (also for an empty body); return false to stop the transfer there.
    using HeadersHandler = std::function<bool(const HttpResponse &response)>;

    static constexpr size_t kMaxPiece = 8192;
    static constexpr int kConnectRetries = 3;

    HttpResponse head(const HttpRequest &request);
    HttpResponse get(const HttpRequest &request);
    HttpResponse get_streamed(const HttpRequest &request, const HeadersHandler &on_headers,
                              const PieceHandler &on_piece);

    // Encodes an address for the wire (UTF-8 percent-encoding, reserved characters kept).
    static QByteArray wire_url(const QString &url);

    // Process-wide libcurl initialisation; main() calls it before starting any thread.
    static void global_init();
};

// One GET on handles of its own, outside the session: no pooled connection, no shared
// cache, and the trusted authorities read anew from ZORBEL_CA_FILE. The rules above hold.
HttpResponse standalone_get(const HttpRequest &request);

// Whether an exchange that ended with the libcurl result `curl_code` failed before its
// connection was made (`connected`: it had been), so that trying again cannot repeat a
// request the server already saw.
bool is_connection_failure(int curl_code, bool connected);

// The process-wide session.
HttpSession &session();
