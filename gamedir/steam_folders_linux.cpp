// Steam for Linux lives below the home folder: ~/.steam/steam is the link Steam keeps to
// its folder, ~/.local/share/Steam the usual folder itself, and the Flatpak build keeps
// its own home below ~/.var/app.

#include "gamedir/steam_library.h"

#include <QDir>
#include <QFileInfo>

QStringList platform_steam_folders()
{
    const QDir home = QDir::home();
    QStringList folders;
    for (const QString &relative : {QStringLiteral(".steam/steam"), QStringLiteral(".local/share/Steam"),
                                    QStringLiteral(".var/app/com.valvesoftware.Steam/.local/share/Steam")}) {
        const QString folder = home.filePath(relative);
        if (QFileInfo(folder).isDir())
            folders.append(folder);
    }
    return folders;
}
