#include "update/script_start.h"

#include <QDir>

#include <windows.h>
#include <shellapi.h>

void platform_start_update_script(const QString &script_path, const QString &working_dir)
{
    const std::wstring file = QDir::toNativeSeparators(script_path).toStdWString();
    const std::wstring folder = QDir::toNativeSeparators(working_dir).toStdWString();
    ShellExecuteW(nullptr, nullptr, file.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
}
