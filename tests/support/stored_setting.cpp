#include "support/stored_setting.h"

#include <QSettings>

namespace {

const QString kKey = QStringLiteral("game_dir");

}  // namespace

QString stored_game_dir()
{
    return QSettings(QStringLiteral("qvmod"), QStringLiteral("DreadHunger")).value(kKey).toString();
}

void store_game_dir(const QString &path)
{
    QSettings settings(QStringLiteral("qvmod"), QStringLiteral("DreadHunger"));
    if (path.isEmpty())
        settings.remove(kKey);
    else
        settings.setValue(kKey, path);
    settings.sync();
}
