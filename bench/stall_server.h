#pragma once
// An HTTPS server on 127.0.0.1 that answers every GET of a skin file with the first bytes
// of a large body and then sends nothing more until released: a transfer stalled in
// the middle of its body. HEAD answers announce the full length.

#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class SSLServer;
}

class StallServer {
public:
    StallServer(const QString &cert_path, const QString &key_path, qint64 announced, qint64 sent_before_stall);
    ~StallServer();
    StallServer(const StallServer &) = delete;
    StallServer &operator=(const StallServer &) = delete;

    bool ok() const { return port_ > 0; }
    // "https://127.0.0.1:PORT/stall": a base address whose skin download path stalls.
    QString base_url() const;

    // A response has sent its first bytes and now waits.
    bool stalled() const;
    // Ends the waiting response (its connection closes) and readies the next one.
    void release();

private:
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    int port_ = -1;
    const qint64 announced;
    const qint64 sent_before_stall;

    mutable std::mutex mutex;
    std::condition_variable wake;
    bool is_stalled = false;
    bool released = false;
    bool stopping = false;
};
