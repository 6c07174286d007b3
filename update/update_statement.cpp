#include "update/update_statement.h"

const QString CHECKSUM_KEY = QStringLiteral("RIzured校验");
const QString SIGNATURE_KEY = QStringLiteral("RIzured签名");

QByteArray update_statement(const QString &version, const QString &file_name, const QByteArray &sha256_hex)
{
    return QByteArrayLiteral("zorbel-skins update\nversion=") + version.toUtf8() + QByteArrayLiteral("\nfile=")
           + file_name.toUtf8() + QByteArrayLiteral("\nsha256=") + sha256_hex.toLower() + '\n';
}
