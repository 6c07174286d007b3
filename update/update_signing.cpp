#include "update/update_signing.h"

#include "update/update_statement.h"

#include <QCryptographicHash>
#include <QFile>

#include <sodium.h>

namespace {

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}
unsigned char *bytes(QByteArray &data)
{
    return reinterpret_cast<unsigned char *>(data.data());
}

Outcome<QByteArray> read_secret_key(const QString &key_path)
{
    QFile file(key_path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{QStringLiteral("cannot read %1: %2").arg(key_path, file.errorString())};
    const QByteArray seed = QByteArray::fromBase64(file.readAll().trimmed());
    if (seed.size() != crypto_sign_SEEDBYTES)
        return Failure{QStringLiteral("%1 does not hold a private key made by --make-keys").arg(key_path)};
    QByteArray public_key(crypto_sign_PUBLICKEYBYTES, '\0');
    QByteArray secret_key(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_seed_keypair(bytes(public_key), bytes(secret_key), bytes(seed));
    return secret_key;
}

}  // namespace

Outcome<QString> make_update_keys(const QString &key_path)
{
    if (sodium_init() < 0)
        return Failure{QStringLiteral("libsodium cannot be initialised")};
    QFile file(key_path);
    if (file.exists())
        return Failure{QStringLiteral("%1 exists already; a key is never overwritten").arg(key_path)};
    QByteArray seed(crypto_sign_SEEDBYTES, '\0');
    randombytes_buf(bytes(seed), size_t(seed.size()));
    QByteArray public_bytes(crypto_sign_PUBLICKEYBYTES, '\0');
    QByteArray secret_bytes(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_seed_keypair(bytes(public_bytes), bytes(secret_bytes), bytes(seed));

    // Owner-only before the key is in it.
    if (!file.open(QIODevice::NewOnly | QIODevice::WriteOnly)
        || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return Failure{QStringLiteral("cannot create %1: %2").arg(key_path, file.errorString())};
    const QByteArray line = seed.toBase64() + '\n';
    const bool written = file.write(line) == line.size() && file.flush();
    sodium_memzero(bytes(seed), size_t(seed.size()));
    sodium_memzero(bytes(secret_bytes), size_t(secret_bytes.size()));
    if (!written)
        return Failure{QStringLiteral("cannot write %1: %2").arg(key_path, file.errorString())};
    return QString::fromLatin1(public_bytes.toBase64());
}

Outcome<QJsonObject> sign_update(const QString &file_path, const QString &version, const QString &file_name,
                                 const QString &key_path)
{
    if (sodium_init() < 0)
        return Failure{QStringLiteral("libsodium cannot be initialised")};
    QFile file(file_path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{QStringLiteral("cannot read %1: %2").arg(file_path, file.errorString())};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError)
        return Failure{QStringLiteral("cannot read %1: %2").arg(file_path, file.errorString())};
    const QByteArray sha256_hex = hash.result().toHex();

    Outcome<QByteArray> read_key = read_secret_key(key_path);
    if (!read_key.ok())
        return Failure{read_key.error};
    QByteArray &secret_key = read_key.value;
    const QByteArray statement = update_statement(version, file_name, sha256_hex);
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(bytes(signature), nullptr, bytes(statement), static_cast<unsigned long long>(statement.size()),
                         bytes(secret_key));
    sodium_memzero(bytes(secret_key), size_t(secret_key.size()));
    return QJsonObject{{CHECKSUM_KEY, QString::fromLatin1(sha256_hex)},
                       {SIGNATURE_KEY, QString::fromLatin1(signature.toBase64())}};
}
