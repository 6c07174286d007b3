#include "cards/skin_files.h"

#include "app/config.h"
#include "app/folder_walk.h"
#include "download/file_checks.h"
#include "download/install_manifest.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool names_match(const QString &file, const SkinFileNames &names)
{
    // An empty name never matches: a record without one of the keys has no such file. The
    // install manifest is never a skin's file, whatever a record names.
    return ((!names.sig_name.isEmpty() && file == names.sig_name)
            || (!names.pak_name.isEmpty() && file == names.pak_name))
           && !install_manifest::is_manifest_name(file);
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

bool skin_outdated(const QString &mod_dir, const SkinFileNames &names, const QJsonObject &skin_data)
{
    const QByteArray published[] = {file_checks(skin_data, QStringLiteral("pak")).sha256,
                                    file_checks(skin_data, QStringLiteral("sig")).sha256};
    if (published[0].isEmpty() && published[1].isEmpty())
        return false;
    bool replaced = false;
    const QString files[] = {names.pak_name, names.sig_name};
    for (int i = 0; i < 2; ++i) {
        const QByteArray written =
            files[i].isEmpty() ? QByteArray() : install_manifest::unchanged_file_sha256(mod_dir, files[i]);
        if (written.isEmpty())
            return false;  // not written by this program, or changed since
        replaced = replaced || (!published[i].isEmpty() && published[i] != written);
    }
    return replaced;
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
