#include "gamedir/steam_library.h"
#include "gamedir/steam_registry_win.h"

#include <QDir>
#include <QFileInfo>

QStringList platform_steam_folders()
{
    QStringList folders;
    for (const std::wstring &folder : steam_folders_from_registry()) {
        // SteamPath is written with forward slashes, InstallPath with backslashes.
        const QString path = QDir::fromNativeSeparators(QString::fromStdWString(folder));
        if (QFileInfo(path).isDir())
            folders.append(path);
    }
    return folders;
}
