#include "gamedir/temp_cleanup.h"

#include "app/folder_walk.h"
#include "app/logging.h"
#include "download/safe_file_ops.h"
#include "download/set_aside.h"
#include "gamedir/native_path.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <functional>
#include <system_error>

namespace {

const QString kTransferSuffix = QStringLiteral(".tmp");

bool is_set_aside_copy(const QString &name)
{
    return name.size() > SET_ASIDE_SUFFIX.size() && name.endsWith(SET_ASIDE_SUFFIX, Qt::CaseSensitive);
}

void remove_leftover(const QString &path)
{
    if (safe_remove(path))
        log_info(QStringLiteral("已清理无效文件: ") + shown_path(path));
    else
        log_warning(QStringLiteral("清理失败: ") + shown_path(path));
}

// The install that set the copy aside ended before it took the copy back or removed it.
// Without its installed file the copy is the skin's only one.
void settle_set_aside_copy(const QString &path)
{
    const QString installed = path.chopped(SET_ASIDE_SUFFIX.size());
    const QFileInfo target(installed);
    if (target.exists() || target.isSymLink()) {
        remove_leftover(path);
        return;
    }
    if (safe_rename(path, installed))
        log_warning(QStringLiteral("已恢复被中断的安装替换的文件: ") + shown_path(installed));
    else
        log_error(QStringLiteral("恢复被替换的文件失败: ") + shown_path(path));
}

void clean_file(const QString &path, const QString &name)
{
    if (is_set_aside_copy(name)) {
        settle_set_aside_copy(path);
        return;
    }
    bool leftover = name.endsWith(kTransferSuffix, Qt::CaseSensitive);
    if (!leftover) {
        std::error_code error;
        const auto size = std::filesystem::file_size(native_path(path), error);
        if (error) {
            log_error(QStringLiteral("清理错误: ") + shown_path(path) + QStringLiteral(" - ")
                      + QString::fromLocal8Bit(error.message().c_str()));
            return;
        }
        leftover = size == 0;
    }
    if (leftover)
        remove_leftover(path);
}

// Calls `visit` with the path and the name of every file below `mod_dir`.
void walk_files(const QString &mod_dir, const std::function<void(const QString &path, const QString &name)> &visit)
{
    walk_folders(mod_dir, [&visit](const QString &folder, const QStringList &files) {
        const QDir dir(folder);
        for (const QString &name : files)
            visit(dir.filePath(name), name);
        return true;
    });
}

}  // namespace

void remove_transfer_leftovers(const QString &mod_dir)
{
    walk_files(mod_dir, clean_file);
}

void restore_set_aside_copies(const QString &mod_dir)
{
    walk_files(mod_dir, [](const QString &path, const QString &name) {
        if (is_set_aside_copy(name))
            settle_set_aside_copy(path);
    });
}
