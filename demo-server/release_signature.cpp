#include "release_signature.h"

#include "update/update_statement.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

QString signature_path(const QString &file_path)
{
    return file_path + QStringLiteral(".sig.json");
}

QString write_signature(const QString &file_path, const QJsonObject &record_keys)
{
    const QByteArray json = QJsonDocument(record_keys).toJson(QJsonDocument::Compact);
    QFile out(signature_path(file_path));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(json) != json.size() || !out.flush())
        return QStringLiteral("cannot write %1: %2").arg(out.fileName(), out.errorString());
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
    for (const QString &key : {CHECKSUM_KEY, SIGNATURE_KEY}) {
        const QString value = keys.value(key).toString();
        // Hex and base64 alone, which need no escaping in JSON.
        if (value.isEmpty() || !kHexOrBase64.match(value).hasMatch())
            continue;
        members += ", \"" + key.toStdString() + "\": \"" + value.toStdString() + "\"";
    }
    return members;
}
