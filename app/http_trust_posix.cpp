#include "app/http_shared.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

// A file rather than a blob: libcurl keeps the certificate store it builds from a file in
// the multi handle, so that only the first connection of a handle pays for parsing it.
struct TrustedAuthorities::Held {
    std::unique_ptr<QTemporaryFile> bundle;
};

TrustedAuthorities::TrustedAuthorities(const std::string &pem)
    : held(std::make_unique<Held>())
{
    if (pem.empty())
        return;
    held->bundle = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("zorbel-ca-XXXXXX.pem")));
    if (held->bundle->open()) {
        held->bundle->write(pem.data(), qint64(pem.size()));
        held->bundle->flush();
    }
}

TrustedAuthorities::~TrustedAuthorities() = default;

void TrustedAuthorities::apply(CURL *easy) const
{
    if (held->bundle)
        curl_easy_setopt(easy, CURLOPT_CAINFO, QFile::encodeName(held->bundle->fileName()).constData());
}
