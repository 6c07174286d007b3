#include "gamedir/temp_cleanup.h"

#include "app/logging.h"
#include "download/safe_file_ops.h"
#include "gamedir/native_path.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

const QString kTransferSuffix = QStringLiteral(".tmp");

void clean_file(const QString &path, const QString &name)
{
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
    if (!leftover)
        return;
    if (safe_remove(path))
        log_info(QStringLiteral("已清理无效文件: ") + shown_path(path));
    else
        log_warning(QStringLiteral("清理失败: ") + shown_path(path));
}

void clean_folder(const QString &folder)
{
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        clean_file(dir.filePath(name), name);
    // Linked folders are not followed: they may lead out of the mod folder.
    for (const QFileInfo &sub : dir.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        if (!sub.isSymLink())
            clean_folder(sub.filePath());
}

} // namespace

void remove_transfer_leftovers(const QString &mod_dir)
{
    clean_folder(mod_dir);
}
