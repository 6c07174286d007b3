#include "support/raw_http_server.h"

#include <QTcpSocket>

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
