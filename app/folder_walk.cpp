#include "app/folder_walk.h"

#include <QDir>
#include <QFileInfo>

bool walk_folders(const QString &root,
                  const std::function<bool(const QString &folder, const QStringList &files)> &visit)
{
    const QDir dir(root);
    if (!visit(root, dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)))
        return false;
    const QFileInfoList subdirs =
        dir.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo &sub : subdirs) {
        if (!walk_folders(sub.filePath(), visit))
            return false;
    }
    return true;
}
