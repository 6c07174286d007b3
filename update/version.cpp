#include "update/version.h"

#include "app/gui_requests.h"
#include "app/http_session.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QVector>

#include <algorithm>

const QString CURRENT_VERSION = QStringLiteral("1.1");
const QString VERSION_KEY = QStringLiteral("RIzured版本");
const QString DOWNLOAD_URL_KEY = QStringLiteral("RIzured下载地址");

bool is_newer_version(const QString &latest, const QString &current)
{
    // Code points rather than UTF-16 units, so that characters beyond the BMP order
    // after every BMP character.
    const QVector<uint> a = latest.toUcs4();
    const QVector<uint> b = current.toUcs4();
    return std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end());
}

Outcome<QString> read_text_value(const QJsonObject &record, const QString &key)
{
    const QJsonValue found = record.value(key);
    if (found.isUndefined() || found.isNull())
        return QString();
    if (!found.isString()) {
        const QJsonObject wrapped{{key, found}};
        return Failure{QStringLiteral("\"%1\" 的值不是文本: %2")
                           .arg(key, QString::fromUtf8(QJsonDocument(wrapped).toJson(QJsonDocument::Compact)))};
    }
    return found.toString();
}

LatestInfo fetch_latest_info(const QString &url, int timeout_ms)
{
    // The GUI thread waits: the time-out bounds the whole request, so that a server that
    // trickles its answer cannot hold the window.
    HttpRequest request = gui_request(url, VERSION_LIMITS);
    request.timeout_ms = request.total_ms = timeout_ms;
    const HttpResponse reply = standalone_get(request);
    if (!reply.ok())
        return Failure{
            QStringLiteral("获取版本信息异常: ")
            + (reply.too_large ? QStringLiteral("版本信息超过 %1 字节").arg(VERSION_LIMITS.body_bytes) : reply.error)};
    if (reply.status != 200)
        return Failure{QStringLiteral("获取版本信息失败，状态码: ") + QString::number(reply.status)};
    QJsonParseError parse_error;
    const QJsonDocument document = QJsonDocument::fromJson(reply.body, &parse_error);
    if (parse_error.error != QJsonParseError::NoError)
        return Failure{QStringLiteral("获取版本信息异常: 版本信息不是有效的JSON（") + parse_error.errorString()
                       + QStringLiteral("，位置 ") + QString::number(parse_error.offset) + QStringLiteral("）")};
    const QJsonObject record = document.object();
    if (!document.isObject() || !record.contains(VERSION_KEY) || !record.contains(DOWNLOAD_URL_KEY))
        return Failure{QStringLiteral("服务器响应错误")};
    return record;
}
