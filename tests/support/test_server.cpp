#include "support/test_server.h"

#include "support/test_env.h"

#include <httplib.h>

#include <QTcpServer>
#include <QUrlQuery>

#include <chrono>
#include <mutex>
#include <thread>

TestReply TestReply::text(const QByteArray &body, int status)
{
    TestReply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

TestReply TestReply::json(const QByteArray &body)
{
    TestReply reply;
    reply.body = body;
    reply.content_type = "application/json";
    return reply;
}

TestReply TestReply::file(const QByteArray &body)
{
    TestReply reply = text(body);
    reply.content_type = "application/octet-stream";
    return reply;
}

struct TestServer::Impl {
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;
    bool tls = false;
    std::atomic_bool stopping{false};
    mutable std::mutex mutex;
    QMap<QString, Handler> routes;
    QList<TestRequest> requests;

    // Sleeps up to `ms`, returning early when the server stops.
    bool pause(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stopping && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return !stopping;
    }

    void handle(const httplib::Request &req, httplib::Response &res)
    {
        TestRequest request;
        request.method = QString::fromStdString(req.method);
        request.path = QString::fromStdString(req.path);
        request.target = QByteArray::fromStdString(req.target);
        for (const auto &param : req.params)
            request.query.insert(QString::fromStdString(param.first), QString::fromStdString(param.second));
        request.remote_port = req.remote_port;

        Handler handler;
        {
            std::lock_guard<std::mutex> lock(mutex);
            requests.append(request);
            handler = routes.value(request.path);
        }
        if (!handler) {
            res.status = 404;
            res.set_content("not found", "text/plain");
            return;
        }
        const TestReply reply = handler(request);
        if (reply.delay_ms > 0 && !pause(reply.delay_ms))
            return;
        res.status = reply.status;
        for (const auto &header : reply.headers)
            res.set_header(header.first.toStdString(), header.second.toStdString());
        if (!reply.redirect_to.isEmpty()) {
            res.status = reply.status == 200 ? 302 : reply.status;
            res.set_header("Location", reply.redirect_to.toStdString());
            return;
        }
        const std::string type = reply.content_type.toStdString();
        auto body = std::make_shared<std::string>(reply.body.toStdString());
        const bool is_head = req.method == "HEAD";
        if (is_head && reply.omit_length_on_head) {
            res.set_header("Content-Type", type);
            return;
        }
        if (reply.chunked) {
            res.set_chunked_content_provider(type, [body](size_t, httplib::DataSink &sink) {
                sink.write(body->data(), body->size());
                sink.done();
                return true;
            });
            return;
        }
        if (reply.stall_after < 0 && reply.truncate_after < 0) {
            res.set_content(*body, type);
            return;
        }
        res.set_content_provider(body->size(), type,
                                 [this, body, reply](size_t offset, size_t length, httplib::DataSink &sink) {
                                     size_t limit = offset + length;
                                     if (reply.truncate_after >= 0)
                                         limit = std::min(limit, size_t(reply.truncate_after));
                                     if (reply.stall_after >= 0 && offset >= size_t(reply.stall_after)) {
                                         if (!pause(reply.stall_ms))
                                             return false;
                                         if (reply.stall_repeats)
                                             limit = std::min(limit, offset + size_t(reply.stall_after));
                                     } else if (reply.stall_after >= 0) {
                                         limit = std::min(limit, size_t(reply.stall_after));
                                     }
                                     if (limit <= offset)
                                         return false;  // close early: a truncated body
                                     sink.write(body->data() + offset, limit - offset);
                                     return true;
                                 });
    }
};

TestServer::TestServer(bool tls)
    : d(std::make_unique<Impl>())
{
    d->tls = tls;
    if (tls) {
        const TestCertificate &cert = test_certificate();
        d->server = std::make_unique<httplib::SSLServer>(cert.cert_path.toLocal8Bit().constData(),
                                                         cert.key_path.toLocal8Bit().constData());
    } else {
        d->server = std::make_unique<httplib::Server>();
    }
    d->server->set_keep_alive_max_count(1000);
    d->server->set_keep_alive_timeout(1);
    d->server->set_tcp_nodelay(true);  // no Nagle wait between headers and body
    // A stalled answer keeps its handler thread until the stall ends, even after the
    // client gave up; enough threads that a run of cancelled stalls does not starve the
    // requests that follow.
    d->server->new_task_queue = [] { return new httplib::ThreadPool(256); };
    auto handler = [this](const httplib::Request &req, httplib::Response &res) { d->handle(req, res); };
    d->server->Get(".*", handler);
    d->server->Post(".*", handler);
    d->port = d->server->bind_to_any_port("127.0.0.1");
    d->thread = std::thread([this] { d->server->listen_after_bind(); });
    while (!d->server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestServer::~TestServer()
{
    d->stopping = true;
    d->server->stop();
    d->thread.join();
}

int TestServer::port() const
{
    return d->port;
}

QString TestServer::host() const
{
#ifdef Q_OS_WIN
    return QStringLiteral("localhost:%1").arg(d->port);  // Schannel matches names, not addresses
#else
    return QStringLiteral("127.0.0.1:%1").arg(d->port);
#endif
}

QString TestServer::url(const QString &path) const
{
    return (d->tls ? QStringLiteral("https://") : QStringLiteral("http://")) + host() + path;
}

void TestServer::route(const QString &path, const TestReply &reply)
{
    route(path, [reply](const TestRequest &) { return reply; });
}

void TestServer::route(const QString &path, Handler handler)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->routes.insert(path, std::move(handler));
}

int TestServer::request_count(const QString &path) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (path.isNull())
        return d->requests.size();
    int count = 0;
    for (const TestRequest &request : d->requests)
        count += request.path == path;
    return count;
}

QList<TestRequest> TestServer::requests() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->requests;
}

TestRequest TestServer::last_request() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->requests.isEmpty() ? TestRequest() : d->requests.last();
}

void TestServer::reset_requests()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->requests.clear();
}

int unused_port()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}
