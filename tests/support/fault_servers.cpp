#include "support/fault_servers.h"

#include "support/test_env.h"

#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <httplib.h>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

#include <thread>

RawHttpServer::RawHttpServer()
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            // The server as context: a socket still open when the server goes is deleted
            // with it, after these connections (and `buffers`) are gone.
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
    listen(QHostAddress::LocalHost);
}

void RawHttpServer::serve(QTcpSocket *socket)
{
    QByteArray &buffer = buffers[socket];
    buffer += socket->readAll();
    int end;
    while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
        const QByteArray head = buffer.left(end);
        buffer.remove(0, end + 4);
        if (!answer(socket, head))
            return;
    }
}

bool TrickleHttpServer::answer(QTcpSocket *socket, const QByteArray &)
{
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(size)
                  + "\r\n\r\n");
    auto *timer = new QTimer(socket);
    auto sent = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, socket, [this, socket, timer, sent] {
        socket->write("x");
        if (++*sent == size)
            timer->stop();
    });
    timer->start(interval_ms);
    return false;
}

bool DroppingServer::answer(QTcpSocket *socket, const QByteArray &head)
{
    if (head.startsWith("HEAD")) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(size) + "\r\n\r\n");
        return true;
    }
    socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + QByteArray(size / 2, 'd'));
    socket->disconnectFromHost();
    return false;
}

ResettingServer::ResettingServer(const QMap<QString, QByteArray> &bodies, const QString &faulty, int cuts,
                                 double cut_at, RangeReply range_reply)
    : bodies(bodies)
    , faulty(faulty)
    , cuts(cuts)
    , cut_at(cut_at)
    , range_reply(range_reply)
{
}

void ResettingServer::reset()
{
    for (QTcpSocket *socket : qAsConst(held)) {
        if (!socket)
            continue;
        socket->flush();
        const linger abrupt{1, 0};
#ifdef Q_OS_WIN
        ::setsockopt(SOCKET(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&abrupt),
                     int(sizeof abrupt));
#else
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
#endif
        socket->abort();
    }
    held.clear();
}

bool ResettingServer::answer(QTcpSocket *socket, const QByteArray &head)
{
    const QString target = QUrl::fromPercentEncoding(head.split(' ').value(1));
    const QString file = target.section('=', -1);
    const QByteArray body = bodies.value(file);
    QByteArray range;
    QByteArray if_range;
    for (const QByteArray &line : head.split('\n')) {
        if (line.toLower().startsWith("range:"))
            range = line.mid(6).trimmed();
        if (line.toLower().startsWith("if-range:"))
            if_range = line.mid(9).trimmed();
    }

    QByteArray status = "200 OK";
    QByteArray extra;
    QByteArray payload = body;
    if (file == faulty && head.startsWith("GET")) {
        ranges << QString::fromLatin1(range);
        if_ranges << QString::fromLatin1(if_range);
        if (range.startsWith("bytes=") && range_reply != RangeReply::Ignored) {
            const int from = range_reply == RangeReply::WrongStart ? 0 : range.mid(6).split('-').value(0).toInt();
            status = "206 Partial Content";
            const int total = body.size() + (range_reply == RangeReply::WrongTotal ? 1 : 0);
            extra = "Content-Range: bytes " + QByteArray::number(from) + '-' + QByteArray::number(body.size() - 1) + '/'
                    + QByteArray::number(total) + "\r\n";
            payload = body.mid(from);
            if (range_reply == RangeReply::ShortBody)
                payload.truncate(payload.size() / 2);
        }
    }
    const QByteArray headers = "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\n"
                               + "ETag: \"v1\"\r\n" + extra + "Content-Length: " + QByteArray::number(payload.size())
                               + "\r\n\r\n";
    if (head.startsWith("HEAD")) {
        socket->write(headers);
    } else if (file == faulty && cuts != 0) {
        cuts -= cuts > 0;
        socket->write(headers + payload.left(int(payload.size() * cut_at)));
        held.append(socket);
        return false;
    } else {
        socket->write(headers + payload);
    }
    return true;
}

struct MisnamedTlsServer::Impl {
    httplib::SSLServer server{test_certificate().cert_path.toLocal8Bit().constData(),
                              test_certificate().key_path.toLocal8Bit().constData()};
    std::thread thread;
};

MisnamedTlsServer::MisnamedTlsServer()
    : d(std::make_unique<Impl>())
{
    port = d->server.bind_to_any_port("127.0.0.2");
    if (port <= 0)
        return;
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    while (!d->server.is_running())
        std::this_thread::yield();
}

MisnamedTlsServer::~MisnamedTlsServer()
{
    d->server.stop();
    if (d->thread.joinable())
        d->thread.join();
}

namespace {

class TrickleTlsListener : public QTcpServer {
public:
    TrickleTlsListener(int lines, int interval_ms)
        : head("HTTP/1.1 200 OK\r\n" + QByteArray("X-P: p\r\n").repeated(lines) + "Content-Length: 0\r\n\r\n")
        , interval_ms(interval_ms)
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setLocalCertificate(test_certificate().cert_path);
        socket->setPrivateKey(test_certificate().key_path);
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QSslSocket::readyRead, socket, [this, socket, request] {
            const bool complete_before = request->contains("\r\n\r\n");
            *request += socket->readAll();
            if (complete_before || !request->contains("\r\n\r\n"))
                return;
            auto *timer = new QTimer(socket);
            auto sent = std::make_shared<int>(0);
            connect(timer, &QTimer::timeout, socket, [this, socket, timer, sent] {
                socket->write(head.mid((*sent)++, 1));
                if (*sent == head.size())
                    timer->stop();
            });
            timer->start(interval_ms);
        });
        socket->startServerEncryption();
    }

private:
    const QByteArray head;
    const int interval_ms;
};

}  // namespace

TrickleTlsServer::TrickleTlsServer(int lines, int interval_ms)
{
    thread.start();
    server = new TrickleTlsListener(lines, interval_ms);
    server->moveToThread(&thread);
    QMetaObject::invokeMethod(
        server, [this] { listening_port = server->listen(QHostAddress::LocalHost) ? server->serverPort() : 0; },
        Qt::BlockingQueuedConnection);
}

TrickleTlsServer::~TrickleTlsServer()
{
    QMetaObject::invokeMethod(
        server, [this] { delete server; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}
