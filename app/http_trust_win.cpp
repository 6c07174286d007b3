#include "app/http_shared.h"

// Schannel reads the authorities at every handshake wherever they come from, so they stay
// in memory: no file left behind, none held open (Windows refuses a second open).
struct TrustedAuthorities::Held {
    std::string pem;
};

TrustedAuthorities::TrustedAuthorities(const std::string &pem)
    : held(std::make_unique<Held>(Held{pem}))
{
}

TrustedAuthorities::~TrustedAuthorities() = default;

void TrustedAuthorities::apply(CURL *easy) const
{
    if (held->pem.empty())
        return;
    curl_blob blob{const_cast<char *>(held->pem.data()), held->pem.size(), CURL_BLOB_NOCOPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
}
