#include "download/background_hash.h"

BackgroundHash::BackgroundHash()
    : thread([this] { hash_blocks(); })
{
}

BackgroundHash::~BackgroundHash()
{
    {
        std::unique_lock<std::mutex> lock(mutex);
        wait_idle(lock);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

void BackgroundHash::add(const char *data, qint64 size)
{
    {
        std::unique_lock<std::mutex> lock(mutex);
        wait_idle(lock);
        pending = data;
        pending_size = size;
    }
    changed.notify_all();
}

QByteArray BackgroundHash::take_digest()
{
    std::unique_lock<std::mutex> lock(mutex);
    wait_idle(lock);
    return hash.take_digest();
}

void BackgroundHash::reset()
{
    std::unique_lock<std::mutex> lock(mutex);
    wait_idle(lock);
    hash.reset();
}

void BackgroundHash::wait_idle(std::unique_lock<std::mutex> &lock)
{
    changed.wait(lock, [this] { return pending == nullptr; });
}

void BackgroundHash::hash_blocks()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return pending != nullptr || stopping; });
        if (pending == nullptr)
            return;
        const char *data = pending;
        const qint64 size = pending_size;
        lock.unlock();
        hash.add(data, size);
        lock.lock();
        pending = nullptr;
        changed.notify_all();
    }
}
