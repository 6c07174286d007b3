#include "update_signing.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <sodium.h>

namespace {

const QString kChecksumKey = QStringLiteral("RIzured校验");
const QString kSignatureKey = QStringLiteral("RIzured签名");

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}
unsigned char *bytes(QByteArray &data)
{
    return reinterpret_cast<unsigned char *>(data.data());
}

QString read_secret_key(const QString &key_path, QByteArray *secret_key)
{
    QFile file(key_path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(key_path, file.errorString());
    const QByteArray seed = QByteArray::fromBase64(file.readAll().trimmed());
    if (seed.size() != crypto_sign_SEEDBYTES)
        return QStringLiteral("%1 does not hold a private key made by --make-keys").arg(key_path);
    QByteArray public_key(crypto_sign_PUBLICKEYBYTES, '\0');
    secret_key->resize(crypto_sign_SECRETKEYBYTES);
    crypto_sign_seed_keypair(bytes(public_key), bytes(*secret_key), bytes(seed));
    return QString();
}

}  // namespace

QString make_update_keys(const QString &key_path, QString *public_key)
{
    if (sodium_init() < 0)
        return QStringLiteral("libsodium cannot be initialised");
    QFile file(key_path);
    if (file.exists())
        return QStringLiteral("%1 exists already; a key is never overwritten").arg(key_path);
    QByteArray seed(crypto_sign_SEEDBYTES, '\0');
    randombytes_buf(bytes(seed), size_t(seed.size()));
    QByteArray public_bytes(crypto_sign_PUBLICKEYBYTES, '\0');
    QByteArray secret_bytes(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_seed_keypair(bytes(public_bytes), bytes(secret_bytes), bytes(seed));

    // Owner-only before the key is in it.
    if (!file.open(QIODevice::NewOnly | QIODevice::WriteOnly)
        || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return QStringLiteral("cannot create %1: %2").arg(key_path, file.errorString());
    const QByteArray line = seed.toBase64() + '\n';
    const bool written = file.write(line) == line.size() && file.flush();
    sodium_memzero(bytes(seed), size_t(seed.size()));
    sodium_memzero(bytes(secret_bytes), size_t(secret_bytes.size()));
    if (!written)
        return QStringLiteral("cannot write %1: %2").arg(key_path, file.errorString());
    *public_key = QString::fromLatin1(public_bytes.toBase64());
    return QString();
}

QString signature_path(const QString &file_path)
{
    return file_path + QStringLiteral(".sig.json");
}

QString sign_update_file(const QString &file_path, const QString &key_path, QString *record_keys)
{
    if (sodium_init() < 0)
        return QStringLiteral("libsodium cannot be initialised");
    QByteArray secret_key;
    const QString error = read_secret_key(key_path, &secret_key);
    if (!error.isEmpty())
        return error;
    QFile file(file_path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(file_path, file.errorString());
    const QByteArray content = file.readAll();

    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(bytes(signature), nullptr, bytes(content), static_cast<unsigned long long>(content.size()),
                         bytes(secret_key));
    sodium_memzero(bytes(secret_key), size_t(secret_key.size()));
    const QJsonObject keys{
        {kChecksumKey, QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex())},
        {kSignatureKey, QString::fromLatin1(signature.toBase64())}};
    const QByteArray json = QJsonDocument(keys).toJson(QJsonDocument::Compact);

    QFile out(signature_path(file_path));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(json) != json.size() || !out.flush())
        return QStringLiteral("cannot write %1: %2").arg(out.fileName(), out.errorString());
    *record_keys = QString::fromUtf8(json);
    return QString();
}

std::string signature_members(const QString &file_path)
{
    static const QRegularExpression kHexOrBase64(QStringLiteral("^[A-Za-z0-9+/=]+$"));
    QFile file(signature_path(file_path));
    if (!file.open(QIODevice::ReadOnly))
        return std::string();
    const QJsonObject keys = QJsonDocument::fromJson(file.readAll()).object();
    std::string members;
    for (const QString &key : {kChecksumKey, kSignatureKey}) {
        const QString value = keys.value(key).toString();
        // Hex and base64 alone, which need no escaping in JSON.
        if (value.isEmpty() || !kHexOrBase64.match(value).hasMatch())
            continue;
        members += ", \"" + key.toStdString() + "\": \"" + value.toStdString() + "\"";
    }
    return members;
}
