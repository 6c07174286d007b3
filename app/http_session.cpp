#include "app/http_session.h"

#include "app/http_exchange.h"
#include "app/http_shared.h"

#include <QUrl>

namespace {

HttpResponse pooled_exchange(const HttpRequest &request, ExchangeMode mode,
                             const HttpSession::HeadersHandler *on_headers = nullptr,
                             const HttpSession::PieceHandler *on_piece = nullptr)
{
    const PooledHandles lease;
    return run_exchange({lease.handles(), shared_caches(), session_authorities()}, request, mode, on_headers, on_piece);
}

}  // namespace

QByteArray HttpResponse::header(const QByteArray &name) const
{
    QByteArray found;
    for (const auto &pair : headers)
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            found = pair.second;
    return found;
}

QByteArray HttpSession::wire_url(const QString &url)
{
    return QUrl(url, QUrl::TolerantMode).toEncoded();
}

void HttpSession::global_init()
{
    curl_global_init(CURL_GLOBAL_ALL);
    shared_caches();
}

HttpResponse HttpSession::head(const HttpRequest &request)
{
    return pooled_exchange(request, ExchangeMode::Head);
}

HttpResponse HttpSession::get(const HttpRequest &request)
{
    return pooled_exchange(request, ExchangeMode::Get);
}

HttpResponse HttpSession::get_streamed(const HttpRequest &request, const HeadersHandler &on_headers,
                                       const PieceHandler &on_piece)
{
    return pooled_exchange(request, ExchangeMode::Stream, &on_headers, &on_piece);
}

HttpResponse standalone_get(const HttpRequest &request)
{
    CurlHandles handles;
    const TrustedAuthorities authorities(trusted_certificates());
    return run_exchange({handles, nullptr, authorities}, request, ExchangeMode::Get);
}

HttpSession &session()
{
    static auto *instance = new HttpSession;  // shared by every thread until the process ends
    return *instance;
}
