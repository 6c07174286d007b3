#include "cards/skin_files.h"

#include "app/config.h"
#include "app/folder_walk.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool names_match(const QString &file, const SkinFileNames &names)
{
    // An empty name never matches: a record without one of the keys has no such file.
    return (!names.sig_name.isEmpty() && file == names.sig_name)
           || (!names.pak_name.isEmpty() && file == names.pak_name);
}

}  // namespace

SkinFileNames skin_file_names(const QJsonObject &skin_data)
{
    SkinFileNames names;
    names.sig_name = windows_base_name(skin_data.value(QStringLiteral("sig_original")).toVariant().toString());
    names.pak_name = windows_base_name(skin_data.value(QStringLiteral("pak_original")).toVariant().toString());
    return names;
}

QString mod_dir_of(const QString &game_dir)
{
    return join_path(game_dir, MOD_SUBDIR);
}

bool skin_installed(const QString &mod_dir, const SkinFileNames &names)
{
    if (!QFileInfo(mod_dir).isDir())
        return false;
    bool found = false;
    walk_folders(mod_dir, [&](const QString &, const QStringList &files) {
        for (const QString &file : files) {
            if (names_match(file, names)) {
                found = true;
                return false;
            }
        }
        return true;
    });
    return found;
}

QStringList installed_skin_files(const QString &mod_dir, const SkinFileNames &names)
{
    QStringList matches;
    if (!QFileInfo(mod_dir).isDir())
        return matches;
    walk_folders(mod_dir, [&](const QString &root, const QStringList &files) {
        for (const QString &file : files) {
            if (names_match(file, names))
                matches.append(QDir(root).filePath(file));
        }
        return true;
    });
    return matches;
}
