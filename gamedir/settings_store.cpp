#include "gamedir/settings_store.h"

#include <QSettings>

namespace {
const QString kGameDirKey = QStringLiteral("game_dir");
}  // namespace

QSettings *open_settings_store(QObject *parent)
{
    return new QSettings(QStringLiteral("qvmod"), QStringLiteral("DreadHunger"), parent);
}

QString read_game_dir_setting(const QSettings &store)
{
    return store.value(kGameDirKey, QString()).toString();
}

Outcome<void> write_game_dir_setting(QSettings &store, const QString &game_dir)
{
    if (game_dir.isEmpty())
        store.remove(kGameDirKey);
    else
        store.setValue(kGameDirKey, game_dir);
    store.sync();
    // A QSettings object keeps its first error for good, so its own status cannot tell
    // whether this write failed. A fresh view of the same store tells: a file store
    // retries what is still pending and reports that; the registry reads back what it holds.
    const QSettings stored(store.fileName(), store.format());
    if (stored.status() != QSettings::NoError || read_game_dir_setting(stored) != game_dir)
        return Failure{QStringLiteral("无法保存设置: %1").arg(store.fileName())};
    return {};
}
