#pragma once
// The game's folder in the Steam libraries, for a detection while the game is not running.
// Each Steam folder lists its libraries in steamapps/libraryfolders.vdf; a game folder is
// a folder under a library's steamapps/common/ that holds the game's pak file.

#include "app/outcome.h"

#include <QString>
#include <QStringList>

// The Steam folders of this machine that exist, in the order they are looked at
// (steam_folders_win.cpp: the registry; steam_folders_linux.cpp: below the home folder).
QStringList platform_steam_folders();

// The library folders a libraryfolders.vdf text lists, in file order: entries of its
// "libraryfolders" section, each a section with a "path" (or, in Steam's older layout, the
// path itself). A text that is not well formed fails.
Outcome<QStringList> library_folders_from_vdf(const QString &vdf_text);

// Game folders in the libraries of `steam_folders`, in library order, each once however
// many ways it is reached (links, two Steam folders sharing a library). A folder counts
// only when its game file is a regular file whose real place is inside that library. A library list
// that is missing or cannot be read counts as no library; an unreadable one is logged.
QStringList find_steam_game_folders(const QStringList &steam_folders);

// The first game folder of this machine's Steam libraries, or empty. Logs where the folder
// came from and any further ones that were passed over.
QString steam_game_folder();
