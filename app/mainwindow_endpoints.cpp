#include "app/mainwindow.h"

#include "app/endpoints.h"
#include "app/gui_requests.h"
#include "app/http_session.h"
#include "app/logging.h"

void MainWindow::_setup_api_urls()
{
    const HttpResponse response = session().get(gui_request(BASE_API_URL, DISCOVERY_LIMITS));

    if (!response.ok() || response.status >= 400) {
        const QString error = response.ok()
                                  ? QStringLiteral("%1 Error for url: %2").arg(response.status).arg(BASE_API_URL)
                                  : response.error;
        log_warning(QStringLiteral("获取动态API地址失败: ") + error + QStringLiteral("，使用备用地址"));
        set_base_url(get_secure_url(BACKUP_BASE_URL));
    } else {
        const QString dynamic_base = QString::fromUtf8(response.body).trimmed();
        if (!dynamic_base.isEmpty() && dynamic_base.startsWith(QStringLiteral("http"))) {
            set_base_url(get_secure_url(dynamic_base));
            log_info(QStringLiteral("成功获取动态API地址: ") + BASE_URL);
        } else {
            log_warning(QStringLiteral("动态API地址无效，使用备用地址"));
            set_base_url(get_secure_url(BACKUP_BASE_URL));
        }
    }

    log_info(QStringLiteral("API地址设置完成:"));
    log_info(QStringLiteral("  Instructions_API: ") + Instructions_API);
    log_info(QStringLiteral("  BASE_API: ") + BASE_API);
    log_info(QStringLiteral("  SKIN_DOWNLOAD_API: ") + SKIN_DOWNLOAD_API);
    log_info(QStringLiteral("  IMAGE_DOWNLOAD_API: ") + IMAGE_DOWNLOAD_API);
}
