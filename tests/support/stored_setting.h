#pragma once
// The game folder as the settings store holds it between runs (the registry on Windows,
// a file below the private XDG_CONFIG_HOME elsewhere).

#include <QString>

QString stored_game_dir();
// An empty `path` removes the setting.
void store_game_dir(const QString &path);
