#include "update/version.h"

#include "app/config.h"
#include "app/gui_requests.h"
#include "app/http_session.h"
#include "app/http_shared.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QVector>

#include <curl/curl.h>

#include <algorithm>
#include <string>

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

bool read_text_value(const QJsonObject &record, const QString &key, QString *value, QString *error)
{
    const QJsonValue found = record.value(key);
    if (found.isUndefined() || found.isNull()) {
        value->clear();
        return true;
    }
    if (!found.isString()) {
        const QJsonObject wrapped{{key, found}};
        *error = QStringLiteral("\"%1\" 的值不是文本: %2")
                     .arg(key, QString::fromUtf8(QJsonDocument(wrapped).toJson(QJsonDocument::Compact)));
        return false;
    }
    *value = found.toString();
    return true;
}

namespace {

struct Reply {
    long status = 0;
    QByteArray body;
    bool too_large = false;
    QString error;  // empty when an answer arrived
};

size_t collect_body(char *data, size_t size, size_t count, void *target)
{
    auto *reply = static_cast<Reply *>(target);
    if (qint64(reply->body.size()) + qint64(size * count) > VERSION_LIMITS.body_bytes) {
        reply->too_large = true;
        return 0;
    }
    reply->body.append(data, int(size * count));
    return size * count;
}

Reply get_once(const QString &url, int timeout_ms)
{
    Reply reply;
    CURL *easy = curl_easy_init();
    if (!easy) {
        reply.error = QStringLiteral("libcurl could not be initialised");
        return reply;
    }
    const QByteArray wire = HttpSession::wire_url(url);
    // Read at every check, unlike the session's, which are built once for the process.
    const std::string certificates = trusted_certificates();
    char error_text[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(easy, CURLOPT_URL, wire.constData());
    apply_request_basics(easy, true);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error_text);
    // The GUI thread waits: the time-out bounds the whole request, so that a server
    // that trickles its answer cannot hold the window.
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(timeout_ms));
    if (!certificates.empty()) {
        curl_blob blob{const_cast<char *>(certificates.data()), certificates.size(), CURL_BLOB_COPY};
        curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    }
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collect_body);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &reply);

    const CURLcode result = curl_easy_perform(easy);
    if (result == CURLE_OK)
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply.status);
    else if (reply.too_large)
        reply.error = QStringLiteral("版本信息超过 %1 字节").arg(VERSION_LIMITS.body_bytes);
    else
        reply.error = QString::fromUtf8(error_text[0] ? error_text : curl_easy_strerror(result));
    curl_easy_cleanup(easy);
    return reply;
}

}  // namespace

LatestInfo fetch_latest_info(const QString &url, int timeout_ms)
{
    LatestInfo info;
    const Reply reply = get_once(url, timeout_ms);
    if (!reply.error.isEmpty()) {
        info.failure = QStringLiteral("获取版本信息异常: ") + reply.error;
        return info;
    }
    if (reply.status != 200) {
        info.failure = QStringLiteral("获取版本信息失败，状态码: ") + QString::number(reply.status);
        return info;
    }
    QJsonParseError parse_error;
    const QJsonDocument document = QJsonDocument::fromJson(reply.body, &parse_error);
    if (parse_error.error != QJsonParseError::NoError) {
        info.failure = QStringLiteral("获取版本信息异常: 版本信息不是有效的JSON（") + parse_error.errorString()
                       + QStringLiteral("，位置 ") + QString::number(parse_error.offset) + QStringLiteral("）");
        return info;
    }
    const QJsonObject record = document.object();
    if (!document.isObject() || !record.contains(VERSION_KEY) || !record.contains(DOWNLOAD_URL_KEY)) {
        info.failure = QStringLiteral("服务器响应错误");
        return info;
    }
    info.record = record;
    return info;
}
