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

Outcome<UpdateIntegrity> read_update_integrity(const QJsonObject &record, const QString &file_name,
                                               const QByteArray &public_key)
{
    const Outcome<QString> version = read_text_value(record, VERSION_KEY);
    const Outcome<QString> checksum = read_text_value(record, CHECKSUM_KEY);
    const Outcome<QString> signature = read_text_value(record, SIGNATURE_KEY);
    for (const Outcome<QString> *text : {&version, &checksum, &signature})
        if (!text->ok())
            return Failure{text->error};

    UpdateIntegrity integrity;
    if (!checksum->isEmpty()) {
        integrity.sha256 = QByteArray::fromHex(checksum->toLatin1());
        // fromHex skips what is not hex, so the length alone proves nothing.
        if (integrity.sha256.size() != crypto_hash_sha256_BYTES
            || integrity.sha256.toHex() != checksum->toLower().toLatin1())
            return Failure{QStringLiteral("\"%1\" 不是SHA-256: %2").arg(CHECKSUM_KEY, checksum->left(100))};
    }
    if (public_key.isEmpty())
        return integrity;  // nothing to check a signature against
    if (integrity.sha256.isEmpty() || signature->isEmpty())
        return Failure{QStringLiteral("版本信息没有 \"%1\" 和 \"%2\"").arg(CHECKSUM_KEY, SIGNATURE_KEY)};
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(signature->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != crypto_sign_BYTES)
        return Failure{QStringLiteral("\"%1\" 不是Ed25519签名: %2").arg(SIGNATURE_KEY, signature->left(100))};
    const QByteArray statement = update_statement(*version, file_name, integrity.sha256.toHex());
    if (sodium_init() < 0)
        return Failure{QStringLiteral("libsodium 无法初始化")};
    if (public_key.size() != crypto_sign_PUBLICKEYBYTES
        || crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(decoded.decoded.constData()),
                                       reinterpret_cast<const unsigned char *>(statement.constData()),
                                       static_cast<unsigned long long>(statement.size()),
                                       reinterpret_cast<const unsigned char *>(public_key.constData()))
               != 0)
        return Failure{QStringLiteral("签名与版本 %1、文件 %2 不符").arg(*version, file_name)};
    return integrity;
}

Outcome<void> check_update_file(const QString &path, const UpdateIntegrity &integrity)
{
    if (integrity.sha256.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{path + QStringLiteral(": ") + file.errorString()};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError)
        return Failure{path + QStringLiteral(": ") + file.errorString()};
    const QByteArray actual = hash.result();
    if (actual != integrity.sha256)
        return Failure{QStringLiteral("SHA-256 不符: 应为 %1，实为 %2")
                           .arg(QString::fromLatin1(integrity.sha256.toHex()), QString::fromLatin1(actual.toHex()))};
    return {};
}
