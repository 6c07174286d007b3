#include "update/script_start.h"

#include "app/logging.h"

void platform_start_update_script(const QString &script_path, const QString &working_dir)
{
    log_info(QStringLiteral("启动更新脚本需要Windows命令解释器，此处只作记录: ") + shown_path(script_path)
             + QStringLiteral(" (") + shown_path(working_dir) + QStringLiteral(")"));
}
