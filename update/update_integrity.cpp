#include "update/update_integrity.h"

#include "update/update_statement.h"
#include "update/version.h"

#include <QCryptographicHash>
#include <QFile>

#include <sodium.h>

QByteArray update_public_key()
{
    static const QByteArray key = QByteArray::fromBase64(QByteArrayLiteral(ZORBEL_UPDATE_PUBLIC_KEY));
    return key;
}

std::optional<UpdateIntegrity> read_update_integrity(const QJsonObject &record, const QByteArray &public_key,
                                                     QString *error)
{
    QString checksum;
    QString signature;
    if (!read_text_value(record, CHECKSUM_KEY, &checksum, error)
        || !read_text_value(record, SIGNATURE_KEY, &signature, error))
        return std::nullopt;

    UpdateIntegrity integrity;
    if (!checksum.isEmpty()) {
        integrity.sha256 = QByteArray::fromHex(checksum.toLatin1());
        // fromHex skips what is not hex, so the length alone proves nothing.
        if (integrity.sha256.size() != crypto_hash_sha256_BYTES
            || integrity.sha256.toHex() != checksum.toLower().toLatin1()) {
            *error = QStringLiteral("\"%1\" 不是SHA-256: %2").arg(CHECKSUM_KEY, checksum.left(100));
            return std::nullopt;
        }
    }
    if (public_key.isEmpty())
        return integrity;  // nothing to check a signature against
    if (signature.isEmpty()) {
        *error = QStringLiteral("版本信息没有签名 \"%1\"").arg(SIGNATURE_KEY);
        return std::nullopt;
    }
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(signature.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != crypto_sign_BYTES) {
        *error = QStringLiteral("\"%1\" 不是Ed25519签名: %2").arg(SIGNATURE_KEY, signature.left(100));
        return std::nullopt;
    }
    integrity.signature = decoded.decoded;
    return integrity;
}

QString check_update_file(const QString &path, const UpdateIntegrity &integrity, const QByteArray &public_key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return path + QStringLiteral(": ") + file.errorString();
    // One read for both checks, so both judge the same bytes.
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return path + QStringLiteral(": ") + file.errorString();

    if (!integrity.sha256.isEmpty()) {
        const QByteArray actual = QCryptographicHash::hash(content, QCryptographicHash::Sha256);
        if (actual != integrity.sha256)
            return QStringLiteral("SHA-256 不符: 应为 %1，实为 %2")
                .arg(QString::fromLatin1(integrity.sha256.toHex()), QString::fromLatin1(actual.toHex()));
    }
    if (public_key.isEmpty())
        return QString();
    if (sodium_init() < 0)
        return QStringLiteral("libsodium 无法初始化");
    if (public_key.size() != crypto_sign_PUBLICKEYBYTES || integrity.signature.size() != crypto_sign_BYTES
        || crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(integrity.signature.constData()),
                                       reinterpret_cast<const unsigned char *>(content.constData()),
                                       static_cast<unsigned long long>(content.size()),
                                       reinterpret_cast<const unsigned char *>(public_key.constData()))
               != 0)
        return QStringLiteral("签名无效");
    return QString();
}
