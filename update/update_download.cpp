#include "update/update_download.h"

#include "app/config.h"

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QUrl>

QString download_progress_text(qint64 bytes_received, qint64 bytes_total)
{
    const auto megabytes = [](qint64 bytes) { return QString::number(double(bytes) / 1024 / 1024, 'f', 1); };
    return QStringLiteral("更新中，下载进度: ") + megabytes(bytes_received) + QStringLiteral("MB/")
           + megabytes(bytes_total) + QStringLiteral("MB");
}

QNetworkRequest update_download_request(const QString &download_url)
{
    QNetworkRequest request{QUrl(download_url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    const QString extra = extra_ca_file();
    if (!extra.isEmpty()) {
        QSslConfiguration ssl = request.sslConfiguration();
        ssl.addCaCertificates(QSslCertificate::fromPath(extra));
        request.setSslConfiguration(ssl);
    }
    return request;
}
