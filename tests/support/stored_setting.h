#pragma once
// The game folder as the settings store holds it between runs (the registry on Windows,
// a file below the private XDG_CONFIG_HOME elsewhere).

#include <QSettings>
#include <QString>

inline QString stored_game_dir()
{
    return QSettings(QStringLiteral("qvmod"), QStringLiteral("DreadHunger"))
        .value(QStringLiteral("game_dir"))
        .toString();
}

// An empty `path` removes the setting.
inline void store_game_dir(const QString &path)
{
    QSettings settings(QStringLiteral("qvmod"), QStringLiteral("DreadHunger"));
    if (path.isEmpty())
        settings.remove(QStringLiteral("game_dir"));
    else
        settings.setValue(QStringLiteral("game_dir"), path);
    settings.sync();
}
