#pragma once
// Servers that misbehave on purpose, in ways a server library will not: a connection
// dropped or reset in the middle of a body, a body that trickles, a certificate for the
// wrong name. Each listens on a loopback address with a port of its own; the raw ones
// answer on the thread that made them, so the case's event loop must run.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QThread>

#include <memory>

class QTcpSocket;

// Plain HTTP on raw sockets; a subclass answers each request head as it arrives.

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

// Announces `size` on HEAD but, on GET, sends half a body without a length and closes:
// a dropped connection the client cannot tell from a complete close-delimited body.
class DroppingServer : public RawHttpServer {
public:
    explicit DroppingServer(int size)
        : size(size)
    {
    }

protected:
    bool answer(QTcpSocket *socket, const QByteArray &head) override;

private:
    const int size;
};

// How a request for the rest of a file ("Range: bytes=N-") is answered.
enum class RangeReply {
    Honoured,    // 206 with the bytes from N to the end
    Ignored,     // 200 with the whole file
    WrongStart,  // 206, but from the first byte
    WrongTotal,  // 206 from N, but for a file one byte longer
    ShortBody,   // 206 from N to the end, but a body (and Content-Length) of half of that
};

// Serves the skin-download route's files by the last query value of the request
// (`bodies`: file name -> content; both probes and healthy files in full). The first
// `cuts` GETs of `faulty` (all of them with -1) get their headers and `cut_at` of their
// body; the connection is then held until reset() drops it with a TCP reset (SO_LINGER 0).
class ResettingServer : public RawHttpServer {
public:
    ResettingServer(const QMap<QString, QByteArray> &bodies, const QString &faulty, int cuts, double cut_at,
                    RangeReply range_reply = RangeReply::Honoured);

    bool holding() const { return !held.isEmpty(); }
    void reset();

    QStringList ranges;     // the Range header of every GET of `faulty` ("" when it had none)
    QStringList if_ranges;  // and its If-Range header (every answer carries the ETag "v1")

protected:
    bool answer(QTcpSocket *socket, const QByteArray &head) override;

private:
    const QMap<QString, QByteArray> bodies;
    const QString faulty;
    int cuts;
    const double cut_at;
    const RangeReply range_reply;
    QList<QPointer<QTcpSocket>> held;
};

// HTTPS with the certificate the session trusts, but on 127.0.0.2, a name it does not
// cover. `port` is -1 when nothing could listen there.
class MisnamedTlsServer {
public:
    MisnamedTlsServer();
    ~MisnamedTlsServer();
    int port = -1;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// HTTPS on a thread of its own (so that a request the GUI thread waits for can reach it),
// with the certificate the session trusts: every answer is an empty 200 whose head, with
// `lines` short header lines, arrives one byte every `interval_ms`. A header line is
// complete every few bytes, so the answer is never silent for long; it is done only after
// about (40 + 8 * lines) * interval_ms.
class TrickleTlsServer {
public:
    TrickleTlsServer(int lines, int interval_ms);
    ~TrickleTlsServer();
    TrickleTlsServer(const TrickleTlsServer &) = delete;
    TrickleTlsServer &operator=(const TrickleTlsServer &) = delete;
    quint16 port() const { return listening_port; }

private:
    QThread thread;
    QTcpServer *server = nullptr;  // lives on `thread`
    quint16 listening_port = 0;
};
