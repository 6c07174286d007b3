#pragma once
// What the libcurl requests of the process share and reuse: the DNS and TLS-session
// caches, the authorities they trust, and idle handles with their kept-alive connections.
//
// Thread-safe. A set of handles serves one request at a time and is borrowed for its
// duration, so no connection cache serves two threads at once (libcurl cannot share one
// that way); DNS answers and TLS sessions are shared under libcurl's own locks.

#include <curl/curl.h>

#include <memory>
#include <string>

// The certificates every request of the program trusts, as one PEM text: the system's
// store plus ZORBEL_CA_FILE. Empty when no extra file is named (libcurl then uses the
// system store on its own).
std::string trusted_certificates();

// Authorities handed to libcurl handles, held for as long as those handles may use them.
// How they are handed over depends on the platform's TLS library.
class TrustedAuthorities {
public:
    explicit TrustedAuthorities(const std::string &pem);  // empty: the system store alone
    ~TrustedAuthorities();
    TrustedAuthorities(const TrustedAuthorities &) = delete;
    TrustedAuthorities &operator=(const TrustedAuthorities &) = delete;

    void apply(CURL *easy) const;

private:
    struct Held;
    std::unique_ptr<Held> held;
};

// An easy handle and a multi handle that serve one request at a time: the multi handle
// owns the connection cache and the certificate store, so later requests reuse both.
struct CurlHandles {
    CurlHandles();
    ~CurlHandles();
    CurlHandles(const CurlHandles &) = delete;
    CurlHandles &operator=(const CurlHandles &) = delete;

    CURL *const easy;
    CURLM *const multi;
};

// The caches and authorities of the session, made at the first call (global_init() makes
// them before any thread starts); they live until the process ends.
CURLSH *shared_caches();
const TrustedAuthorities &session_authorities();

// A set of handles borrowed from the session's pool, back in it when the lease ends, so
// that a new download thread starts with a built certificate store and warm connections.
class PooledHandles {
public:
    PooledHandles();
    ~PooledHandles();
    PooledHandles(const PooledHandles &) = delete;
    PooledHandles &operator=(const PooledHandles &) = delete;

    CurlHandles &handles() const { return *_handles; }

private:
    std::unique_ptr<CurlHandles> _handles;
};
