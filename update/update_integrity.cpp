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

std::optional<UpdateIntegrity> read_update_integrity(const QJsonObject &record, const QString &file_name,
                                                     const QByteArray &public_key, QString *error)
{
    QString version;
    QString checksum;
    QString signature;
    if (!read_text_value(record, VERSION_KEY, &version, error)
        || !read_text_value(record, CHECKSUM_KEY, &checksum, error)
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
    if (integrity.sha256.isEmpty() || signature.isEmpty()) {
        *error = QStringLiteral("版本信息没有 \"%1\" 和 \"%2\"").arg(CHECKSUM_KEY, SIGNATURE_KEY);
        return std::nullopt;
    }
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(signature.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != crypto_sign_BYTES) {
        *error = QStringLiteral("\"%1\" 不是Ed25519签名: %2").arg(SIGNATURE_KEY, signature.left(100));
        return std::nullopt;
    }
    const QByteArray statement = update_statement(version, file_name, integrity.sha256.toHex());
    if (sodium_init() < 0) {
        *error = QStringLiteral("libsodium 无法初始化");
        return std::nullopt;
    }
    if (public_key.size() != crypto_sign_PUBLICKEYBYTES
        || crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(decoded.decoded.constData()),
                                       reinterpret_cast<const unsigned char *>(statement.constData()),
                                       static_cast<unsigned long long>(statement.size()),
                                       reinterpret_cast<const unsigned char *>(public_key.constData()))
               != 0) {
        *error = QStringLiteral("签名与版本 %1、文件 %2 不符").arg(version, file_name);
        return std::nullopt;
    }
    return integrity;
}

QString check_update_file(const QString &path, const UpdateIntegrity &integrity)
{
    if (integrity.sha256.isEmpty())
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return path + QStringLiteral(": ") + file.errorString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError)
        return path + QStringLiteral(": ") + file.errorString();
    const QByteArray actual = hash.result();
    if (actual != integrity.sha256)
        return QStringLiteral("SHA-256 不符: 应为 %1，实为 %2")
            .arg(QString::fromLatin1(integrity.sha256.toHex()), QString::fromLatin1(actual.toHex()));
    return QString();
}
