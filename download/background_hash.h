#pragma once
// SHA-256 of a stream of blocks, computed on a thread of its own while the caller fills
// the next block: hashing a 200 MB skin costs about a tenth of a second, which would
// otherwise add to every install. The caller alternates between two blocks.
//
// One caller thread; the hashing thread lives as long as the object.

#include "download/sha256.h"

#include <QByteArray>

#include <condition_variable>
#include <mutex>
#include <thread>

class BackgroundHash {
public:
    BackgroundHash();
    ~BackgroundHash();
    BackgroundHash(const BackgroundHash &) = delete;
    BackgroundHash &operator=(const BackgroundHash &) = delete;

    // Waits until the block given before is hashed, then starts on this one, which must
    // stay unchanged until the next call of any member: the one before it is free again.
    void add(const char *data, qint64 size);
    // The digest of every block since the last reset; starts over afterwards.
    QByteArray take_digest();
    void reset();

private:
    void wait_idle(std::unique_lock<std::mutex> &lock);
    void hash_blocks();

    Sha256 hash;  // used by the hashing thread while a block is pending, else by the caller
    std::mutex mutex;
    std::condition_variable changed;
    const char *pending = nullptr;
    qint64 pending_size = 0;
    bool stopping = false;
    std::thread thread;
};
