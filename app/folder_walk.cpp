#include "app/folder_walk.h"

#include "app/file_calls.h"

#include <QDir>
#include <QFileInfo>

bool walk_folders(const QString &root,
                  const std::function<bool(const QString &folder, const QStringList &files)> &visit)
{
    if (is_link(root))
        return true;
    const QDir dir(root);
    if (!visit(root, dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)))
        return false;
    const QFileInfoList subdirs = dir.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &sub : subdirs) {
        if (!walk_folders(sub.filePath(), visit))
            return false;
    }
    return true;
}
