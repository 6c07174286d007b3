#pragma once
// The game folder as the settings store holds it between runs (the registry on Windows,
// a file below the private XDG_CONFIG_HOME elsewhere).

#include "gamedir/settings_store.h"

#include <QSettings>
#include <QString>

#include <memory>

inline QString stored_game_dir()
{
    const std::unique_ptr<QSettings> store(open_settings_store());
    return read_game_dir_setting(*store);
}

// An empty `path` removes the setting.
inline void store_game_dir(const QString &path)
{
    const std::unique_ptr<QSettings> store(open_settings_store());
    // A store that cannot be written shows in the cases that read the folder back.
    static_cast<void>(write_game_dir_setting(*store, path));
}
