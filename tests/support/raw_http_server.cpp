#include "support/raw_http_server.h"

#include <QTcpSocket>
#include <QTimer>

#include <memory>

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
