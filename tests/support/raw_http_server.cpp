#include "support/raw_http_server.h"

#include <QTcpSocket>

RawHttpServer::RawHttpServer()
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
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
