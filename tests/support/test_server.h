#pragma once
// An in-process HTTP or HTTPS server on 127.0.0.1 with an ephemeral port, scriptable per
// path. Every test suite shares it. HTTPS uses the certificate made by test_env, which
// the session trusts through ZORBEL_CA_FILE.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QPair>
#include <QString>

#include <functional>
#include <memory>

struct TestReply {
    int status = 200;
    QByteArray body;
    QByteArray content_type = "text/plain";
    QList<QPair<QByteArray, QByteArray>> headers;
    int delay_ms = 0;      // wait before answering
    int stall_after = -1;  // send this many body bytes, then send nothing for stall_ms
    int stall_ms = 60000;
    bool stall_repeats = false;        // then stall again after every further stall_after bytes
    int truncate_after = -1;           // announce the full length, close after this many bytes
    bool chunked = false;              // no Content-Length
    bool omit_length_on_head = false;  // HEAD answers without Content-Length
    QString redirect_to;               // answer 302 with this Location

    static TestReply text(const QByteArray &body, int status = 200);
    static TestReply json(const QByteArray &body);
    static TestReply file(const QByteArray &body);  // application/octet-stream
};

// A loopback port that nothing listens on (at the time of the call).
int unused_port();

Q_DECLARE_METATYPE(TestReply)

struct TestRequest {
    QString method;
    QString path;       // percent-decoded
    QByteArray target;  // as sent on the wire
    QMap<QString, QString> query;
    int remote_port = -1;
};

class TestServer {
public:
    using Handler = std::function<TestReply(const TestRequest &request)>;

    explicit TestServer(bool tls = true);
    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    QString host() const;                    // "127.0.0.1:PORT" ("localhost:PORT" on Windows)
    QString url(const QString &path) const;  // "https://127.0.0.1:PORT" + path
    int port() const;

    // Answers every method on `path` (decoded, without query). Unknown paths get 404.
    void route(const QString &path, const TestReply &reply);
    void route(const QString &path, Handler handler);

    int request_count(const QString &path = QString()) const;
    QList<TestRequest> requests() const;
    TestRequest last_request() const;
    void reset_requests();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
