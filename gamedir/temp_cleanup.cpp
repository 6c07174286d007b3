#include "gamedir/temp_cleanup.h"

#include "app/folder_walk.h"
#include "app/logging.h"
#include "download/safe_file_ops.h"
#include "download/set_aside.h"
#include "gamedir/native_path.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

bool has_suffix(const QString &name, const QString &suffix)
{
    return name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseSensitive);
}

void remove_leftover(const QString &path)
{
    if (safe_remove(path))
        log_info(QStringLiteral("已清理无效文件: ") + shown_path(path));
    else
        log_warning(QStringLiteral("清理失败: ") + shown_path(path));
}

// A copy without a move record (an install of an earlier version ended before it took the
// copy back or removed it). Without its installed file the copy is the skin's only one.
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

// Interrupted moves of one folder, each by its record first. Copies beside a record that
// could not be settled are its own: they wait for the next attempt.
void settle_folder(const QDir &dir, const QStringList &files)
{
    bool all_settled = true;
    for (const QString &name : files)
        if (has_suffix(name, MOVE_RECORD_SUFFIX) && QFileInfo(dir.filePath(name)).isFile())
            all_settled = settle_move_record(dir.filePath(name)) && all_settled;
    if (!all_settled)
        return;
    for (const QString &name : files)
        if (has_suffix(name, SET_ASIDE_SUFFIX) && QFileInfo::exists(dir.filePath(name)))
            settle_set_aside_copy(dir.filePath(name));
}

void clean_file(const QString &path, const QString &name)
{
    // What settling left of a move is kept for the next attempt.
    if (has_suffix(name, MOVE_RECORD_SUFFIX) || has_suffix(name, SET_ASIDE_SUFFIX))
        return;
    bool leftover = name.endsWith(TRANSFER_SUFFIX, Qt::CaseSensitive);
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

}  // namespace

void remove_transfer_leftovers(const QString &mod_dir)
{
    walk_folders(mod_dir, [](const QString &folder, const QStringList &files) {
        const QDir dir(folder);
        settle_folder(dir, files);
        for (const QString &name : files)
            if (QFileInfo::exists(dir.filePath(name)) || QFileInfo(dir.filePath(name)).isSymLink())
                clean_file(dir.filePath(name), name);
        return true;
    });
}

void restore_set_aside_copies(const QString &mod_dir)
{
    walk_folders(mod_dir, [](const QString &folder, const QStringList &files) {
        settle_folder(QDir(folder), files);
        return true;
    });
}
