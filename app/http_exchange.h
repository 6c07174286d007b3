#pragma once
// One request on one set of libcurl handles, from the first connection attempt to the
// response: the options every handle of the program gets, the wait for the transfer
// (silences, the whole request's limit, the abort flag) and the connection retries. The
// rules are those listed in app/http_session.h. Blocking; the calling thread must be the
// only one using `handles` meanwhile.

#include "app/http_session.h"

#include <curl/curl.h>

class TrustedAuthorities;
struct CurlHandles;

enum class ExchangeMode { Head, Get, Stream };

struct ExchangeHandles {
    CurlHandles &handles;
    CURLSH *share;  // caches shared with other handles, or null
    const TrustedAuthorities &authorities;
};

// `on_headers` and `on_piece` are used (and required) in ExchangeMode::Stream only.
HttpResponse run_exchange(const ExchangeHandles &with, const HttpRequest &request, ExchangeMode mode,
                          const HttpSession::HeadersHandler *on_headers = nullptr,
                          const HttpSession::PieceHandler *on_piece = nullptr);
