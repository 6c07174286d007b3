#pragma once
// The game's installation folder: finding it from the running game and checking that
// skins can be installed into it.

#include "gamedir/process_list.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Name of the game's executable (matched as a case-sensitive substring of a process name).
extern const QString GAME_EXE_NAME;  // "DreadHunger-Win64-Shipping.exe"
// The file under PAK_DIR that every game installation has.
extern const QString GAME_PAK_FILE;  // "DreadHunger-WindowsNoEditor.pak"
// Written into the mod folder and removed again to prove it is writable.
extern const QString PERMISSION_PROBE;  // "permission_test.tmp"

// The first process whose non-empty name contains GAME_EXE_NAME.
std::optional<ProcessInfo> find_game_process(const QList<ProcessInfo> &processes);

// The folder part of `path` by the platform's rules ("/" and "\" on Windows, "/" elsewhere);
// a root stays itself.
QString parent_folder(const QString &path);

// Four levels above the executable: ...\<root>\DreadHunger\Binaries\Win64\<exe>. The names
// of the folders in between are not checked.
QString game_root_from_exe(const QString &exe_path);

// Problems that stop skins from being installed below `game_root`, in this order: the
// missing game pak file, then the first failure of the write test (which creates the mod
// folder chain and writes and removes the probe file). Empty when the folder is usable.
QStringList validate_game_dir(const QString &game_root);

// The errors as one line, joined with a full-width comma.
QString join_errors(const QStringList &errors);
