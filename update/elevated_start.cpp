#include "update/elevated_start.h"

#ifdef Q_OS_WIN
#include <QDir>

#include <windows.h>
#include <shellapi.h>

void start_elevated(const QString &script_path)
{
    const QString native = QDir::toNativeSeparators(script_path);
    ShellExecuteW(nullptr, L"runas", reinterpret_cast<const wchar_t *>(native.utf16()), nullptr, nullptr,
                  SW_SHOWNORMAL);
}

QStringList recorded_elevated_starts()
{
    return {};
}

#else
#include "app/logging.h"

#include <QMutex>

namespace {
QMutex recorded_mutex;
QStringList recorded;
}  // namespace

void start_elevated(const QString &script_path)
{
    log_info(QStringLiteral("以管理员身份启动脚本需要Windows外壳，此处只作记录: ") + shown_path(script_path));
    QMutexLocker lock(&recorded_mutex);
    recorded.append(script_path);
}

QStringList recorded_elevated_starts()
{
    QMutexLocker lock(&recorded_mutex);
    return recorded;
}
#endif
