#include "app/http_shared.h"

#include "app/config.h"
#include "app/system_roots.h"

#include <QFile>

#include <mutex>
#include <vector>

namespace {

// libcurl asks its users to lock what a share handle holds.
struct SharedCaches {
    CURLSH *handle = curl_share_init();
    std::mutex locks[CURL_LOCK_DATA_LAST];
    const TrustedAuthorities authorities{trusted_certificates()};

    SharedCaches()
    {
        curl_share_setopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(handle, CURLSHOPT_USERDATA, this);
        curl_share_setopt(handle, CURLSHOPT_LOCKFUNC, &SharedCaches::lock);
        curl_share_setopt(handle, CURLSHOPT_UNLOCKFUNC, &SharedCaches::unlock);
    }

    static void lock(CURL *, curl_lock_data data, curl_lock_access, void *self)
    {
        static_cast<SharedCaches *>(self)->locks[data].lock();
    }
    static void unlock(CURL *, curl_lock_data data, void *self)
    {
        static_cast<SharedCaches *>(self)->locks[data].unlock();
    }
};

SharedCaches &caches()
{
    static auto *made = new SharedCaches;  // lives until the process ends
    return *made;
}

// No set is ever used by two threads at once (libcurl allows a handle on any thread, one
// at a time). Nothing is tied to thread exit: on Windows (MinGW), handles kept in
// thread-local storage hung the process when a thread or the program ended.
class HandlePool {
public:
    std::unique_ptr<CurlHandles> take()
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (idle.empty())
            return std::make_unique<CurlHandles>();
        std::unique_ptr<CurlHandles> handles = std::move(idle.back());
        idle.pop_back();
        return handles;
    }
    void give_back(std::unique_ptr<CurlHandles> handles)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (idle.size() < kKept)
            idle.push_back(std::move(handles));
    }

private:
    static constexpr size_t kKept = 4;
    std::mutex mutex;
    std::vector<std::unique_ptr<CurlHandles>> idle;
};

HandlePool &handle_pool()
{
    static auto *pool = new HandlePool;  // lives until the process ends
    return *pool;
}

}  // namespace

std::string trusted_certificates()
{
    const QString extra = extra_ca_file();
    if (extra.isEmpty())
        return {};
    QByteArray pem = system_root_certificates();
    if (!pem.isEmpty())
        pem += '\n';
    QFile file(extra);
    if (file.open(QIODevice::ReadOnly))
        pem += file.readAll();
    return pem.toStdString();
}

CurlHandles::CurlHandles()
    : easy(curl_easy_init())
    , multi(curl_multi_init())
{
    // 20 host pools of up to 100 connections each.
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, 20L * 100L);
}

CurlHandles::~CurlHandles()
{
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
}

CURLSH *shared_caches()
{
    return caches().handle;
}

const TrustedAuthorities &session_authorities()
{
    return caches().authorities;
}

PooledHandles::PooledHandles()
    : _handles(handle_pool().take())
{
}

PooledHandles::~PooledHandles()
{
    handle_pool().give_back(std::move(_handles));
}
