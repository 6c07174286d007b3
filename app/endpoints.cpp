#include "app/endpoints.h"

#include "app/config.h"
#include "app/gui_requests.h"
#include "app/http_session.h"
#include "app/logging.h"

const QString BASE_PATH = QStringLiteral("/2/皮肤.php");

QString BASE_API_URL;
QString BACKUP_BASE_URL;
QString SERVER_URL;

QString BASE_URL;
QString Instructions_API;
QString BASE_API;
QString SKIN_DOWNLOAD_API;
QString IMAGE_DOWNLOAD_API;

void init_fixed_endpoints()
{
    const QString host = server_host();
    BACKUP_BASE_URL = QStringLiteral("https://") + host + BASE_PATH;
    BASE_API_URL = BACKUP_BASE_URL + QStringLiteral("?name=Orvel");
    SERVER_URL = QStringLiteral("http://") + host + QStringLiteral("/api1/");
}

void set_base_url(const QString &base)
{
    BASE_URL = base;
    Instructions_API = BASE_URL + QStringLiteral("/Instructions.php");
    BASE_API = BASE_URL + QStringLiteral("/index_skins.php");
    SKIN_DOWNLOAD_API = BASE_URL + QStringLiteral("/subcutaneous/index_skin_download.php");
    IMAGE_DOWNLOAD_API = BASE_URL + QStringLiteral("/subcutaneous/index_image_download.php");
}

QString skin_file_url(const QString &main_category, const QString &subcategory, const QString &file_key,
                      const QString &filename)
{
    return SKIN_DOWNLOAD_API + QStringLiteral("?MainCategory=") + main_category + QStringLiteral("&subcategory=")
           + subcategory + QLatin1Char('&') + file_key + QLatin1Char('=') + filename;
}

QString get_secure_url(const QString &url)
{
    if (!url.startsWith(QStringLiteral("http://")))
        return url;
    QString candidate = url;
    candidate.replace(0, 7, QStringLiteral("https://"));
    log_info(QStringLiteral("尝试HTTPS连接: ") + candidate);

    HttpRequest request = gui_request(candidate, HTTPS_PROBE_LIMITS);
    request.follow_redirects = false;
    const HttpResponse response = session().head(request);
    if (!response.ok()) {
        log_warning(QStringLiteral("HTTPS连接失败: ") + response.error + QStringLiteral("，回退到HTTP: ") + url);
        return url;
    }
    const QString status = QString::number(response.status);
    log_info(QStringLiteral("HTTPS响应状态码: ") + status);
    if (response.status == 200 || response.status == 301 || response.status == 302) {
        log_info(QStringLiteral("HTTPS连接成功（状态码") + status + QStringLiteral("），使用: ") + candidate);
        return candidate;
    }
    log_warning(QStringLiteral("HTTPS连接返回非成功状态码: ") + status + QStringLiteral("，回退到HTTP: ") + url);
    return url;
}
