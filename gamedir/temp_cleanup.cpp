#include "gamedir/temp_cleanup.h"

#include "app/config.h"
#include "app/folder_walk.h"
#include "app/logging.h"
#include "download/set_aside.h"
#include "gamedir/native_path.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

void clean_file(const QString &path, const QString &name)
{
    if (is_move_leftover(name))
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
        settle_interrupted_moves(folder, files);
        const QDir dir(folder);
        for (const QString &name : files)
            if (QFileInfo::exists(dir.filePath(name)) || QFileInfo(dir.filePath(name)).isSymLink())
                clean_file(dir.filePath(name), name);
        return true;
    });
}
