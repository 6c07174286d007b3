#include "download/safe_file_ops.h"

#include "app/file_calls.h"
#include "app/logging.h"

#include <QFileInfo>
#include <QThread>

namespace {

bool something_at(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();  // a dangling link still blocks the name
}

void wait_before_retry(int attempt)
{
    QThread::msleep(500UL * unsigned(attempt + 1));
}

}  // namespace

bool safe_remove(const QString &path, int max_retries)
{
    for (int attempt = 0; attempt < max_retries; ++attempt) {
        QString failure;
        if (!QFileInfo(path).isFile() || remove_file(path, &failure)) {
            log_info(QStringLiteral("成功删除: ") + shown_path(path));
            return true;
        }
        if (attempt < max_retries - 1) {
            log_warning(QStringLiteral("删除重试 %1/%2: ").arg(attempt + 1).arg(max_retries) + failure);
            wait_before_retry(attempt);
        } else {
            log_error(QStringLiteral("最终删除失败: ") + shown_path(path) + QStringLiteral(" - ") + failure);
        }
    }
    return false;
}

bool safe_rename(const QString &src, const QString &dst, int max_retries)
{
    for (int attempt = 0; attempt < max_retries; ++attempt) {
        QString failure;
        if (something_at(dst) && !safe_remove(dst))
            failure = QStringLiteral("无法移除目标文件: ") + shown_path(dst);
        else if (rename_file(src, dst, &failure)) {
            log_info(QStringLiteral("成功重命名: ") + shown_path(src) + QStringLiteral(" -> ") + shown_path(dst));
            return true;
        }
        if (attempt < max_retries - 1) {
            log_warning(QStringLiteral("重命名重试 %1/%2: ").arg(attempt + 1).arg(max_retries) + failure);
            wait_before_retry(attempt);
        } else {
            log_error(QStringLiteral("最终重命名失败: ") + shown_path(src) + QStringLiteral(" - ") + failure);
        }
    }
    return false;
}
