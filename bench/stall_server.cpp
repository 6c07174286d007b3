#include "stall_server.h"

#include <httplib.h>

#include <QThread>

#include <algorithm>
#include <vector>

StallServer::StallServer(const QString &cert_path, const QString &key_path, qint64 announced_,
                         qint64 sent_before_stall_)
    : announced(announced_)
    , sent_before_stall(sent_before_stall_)
{
    server =
        std::make_unique<httplib::SSLServer>(cert_path.toLocal8Bit().constData(), key_path.toLocal8Bit().constData());
    if (!server->is_valid())
        return;
    server->Get("/stall/subcutaneous/index_skin_download.php", [this](const httplib::Request &,
                                                                      httplib::Response &response) {
        response.set_content_provider(
            size_t(announced), "application/octet-stream",
            [this](size_t offset, size_t length, httplib::DataSink &sink) {
                if (qint64(offset) < sent_before_stall) {
                    static const std::vector<char> zeros(64 * 1024, 'z');
                    const size_t piece = std::min({length, zeros.size(), size_t(sent_before_stall - qint64(offset))});
                    return sink.write(zeros.data(), piece);
                }
                std::unique_lock<std::mutex> lock(mutex);
                is_stalled = true;
                wake.wait(lock, [this] { return released || stopping; });
                is_stalled = false;
                released = false;
                return false;  // ends the response short: the connection closes
            });
    });
    port_ = server->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        return;
    thread = std::thread([this] { server->listen_after_bind(); });
    while (!server->is_running())
        QThread::msleep(1);
}

StallServer::~StallServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable()) {
        server->stop();
        thread.join();
    }
}

QString StallServer::base_url() const
{
    return QStringLiteral("https://127.0.0.1:%1/stall").arg(port_);
}

bool StallServer::stalled() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return is_stalled;
}

void StallServer::release()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!is_stalled)
            return;
        released = true;
    }
    wake.notify_all();
    // The next run must find the server ready to stall again.
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!released)
                return;
        }
        QThread::msleep(1);
    }
}
