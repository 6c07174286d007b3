#include "update/script_start.h"

#include "app/logging.h"

#include <QMutex>

namespace {
QMutex recorded_mutex;
QStringList recorded;
}  // namespace

void start_update_script(const QString &script_path, const QString &working_dir)
{
    log_info(QStringLiteral("启动更新脚本需要Windows命令解释器，此处只作记录: ") + shown_path(script_path)
             + QStringLiteral(" (") + shown_path(working_dir) + QStringLiteral(")"));
    QMutexLocker lock(&recorded_mutex);
    recorded.append(script_path);
}

QStringList recorded_script_starts()
{
    QMutexLocker lock(&recorded_mutex);
    return recorded;
}
