#pragma once
// The one thing the program keeps between runs: the game folder, under the key "game_dir"
// of the store "qvmod" / "DreadHunger" (Qt's native format: the registry on Windows, a file
// below the configuration folder elsewhere). Nothing else reads or writes the store.
// A QSettings object belongs to the thread that uses it; each thread opens its own.

#include "app/outcome.h"

#include <QString>

class QObject;
class QSettings;

// A view of the store, owned by `parent`.
QSettings *open_settings_store(QObject *parent = nullptr);

// The stored folder; empty when none is stored.
QString read_game_dir_setting(const QSettings &store);

// Stores `game_dir` (an empty one removes the key) and writes it through. Fails when the
// store does not hold it afterwards, so that no folder passes for saved that would be gone
// at the next start.
Outcome<void> write_game_dir_setting(QSettings &store, const QString &game_dir);
