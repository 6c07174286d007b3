#pragma once
// Plain HTTP on raw sockets, for faults a server library will not produce on purpose (a
// connection dropped or reset in the middle of a body). Listens on 127.0.0.1; a subclass
// answers each request head as it arrives.

#include <QByteArray>
#include <QMap>
#include <QTcpServer>

class QTcpSocket;

class RawHttpServer : public QTcpServer {
public:
    RawHttpServer();

protected:
    // Answers one request; `head` is its request line and headers. Returns false when
    // nothing more is to be read from this connection.
    virtual bool answer(QTcpSocket *socket, const QByteArray &head) = 0;

private:
    void serve(QTcpSocket *socket);
    QMap<QTcpSocket *, QByteArray> buffers;
};

// Answers every request with a body of `size` bytes, announced whole but sent one byte
// every `interval_ms`: never silent for long, and never done in good time.
class TrickleHttpServer : public RawHttpServer {
public:
    TrickleHttpServer(int size, int interval_ms)
        : size(size)
        , interval_ms(interval_ms)
    {
    }

protected:
    bool answer(QTcpSocket *socket, const QByteArray &head) override;

private:
    const int size;
    const int interval_ms;
};
