#include "download/sha256.h"

#include <openssl/evp.h>

struct Sha256::State {
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256()
    : state(std::make_unique<State>())
{
    reset();
}

Sha256::~Sha256() = default;

void Sha256::add(const char *data, qint64 size)
{
    EVP_DigestUpdate(state->context, data, size_t(size));
}

QByteArray Sha256::take_digest()
{
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    EVP_DigestFinal_ex(state->context, reinterpret_cast<unsigned char *>(digest.data()), &length);
    digest.truncate(int(length));
    reset();
    return digest;
}

void Sha256::reset()
{
    EVP_DigestInit_ex(state->context, EVP_sha256(), nullptr);
}
