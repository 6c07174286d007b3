#include "download/sha256.h"

#include <windows.h>

#include <algorithm>

#include <bcrypt.h>

namespace {

// The algorithm provider is opened once for the process: opening one is the slow part.
BCRYPT_ALG_HANDLE sha256_provider()
{
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        return handle;
    }();
    return provider;
}

}  // namespace

struct Sha256::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State()
    {
        if (hash)
            BCryptDestroyHash(hash);
    }
};

Sha256::Sha256()
    : state(std::make_unique<State>())
{
    reset();
}

Sha256::~Sha256() = default;

void Sha256::add(const char *data, qint64 size)
{
    // BCryptHashData takes at most 4 GiB at a time.
    while (size > 0) {
        const ULONG part = ULONG(std::min<qint64>(size, 1 << 30));
        BCryptHashData(state->hash, reinterpret_cast<PUCHAR>(const_cast<char *>(data)), part, 0);
        data += part;
        size -= part;
    }
}

QByteArray Sha256::take_digest()
{
    QByteArray digest(32, '\0');
    BCryptFinishHash(state->hash, reinterpret_cast<PUCHAR>(digest.data()), ULONG(digest.size()), 0);
    reset();
    return digest;
}

void Sha256::reset()
{
    if (state->hash)
        BCryptDestroyHash(state->hash);
    state->hash = nullptr;
    BCryptCreateHash(sha256_provider(), &state->hash, nullptr, 0, nullptr, 0, 0);
}
