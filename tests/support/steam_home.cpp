#include "support/steam_home.h"

#include "support/game_files.h"

#include <QDir>
#include <QSettings>
#include <QtTest>

namespace {

#ifdef Q_OS_WIN
QSettings steam_key()
{
    return QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\Valve\\Steam"), QSettings::NativeFormat);
}
#endif

}  // namespace

FakeSteamHome::FakeSteamHome()
    : previous_home(qgetenv("HOME"))
{
#ifdef Q_OS_WIN
    steam_key().remove(QStringLiteral("SteamPath"));
#else
    qputenv("HOME", home.path().toUtf8());
#endif
}

FakeSteamHome::~FakeSteamHome()
{
#ifdef Q_OS_WIN
    steam_key().remove(QStringLiteral("SteamPath"));
#else
    qputenv("HOME", previous_home);
#endif
}

QString FakeSteamHome::path(const QString &relative) const
{
    return QDir(home.path()).filePath(relative);
}

void FakeSteamHome::steam_folder(const QString &relative, const QByteArray &vdf) const
{
    write_file(path(relative) + QStringLiteral("/steamapps/libraryfolders.vdf"), vdf);
#ifdef Q_OS_WIN
    steam_key().setValue(QStringLiteral("SteamPath"), path(relative));
#endif
}

QByteArray library_list(const QStringList &libraries)
{
    QByteArray vdf = "\"libraryfolders\"\n{\n";
    for (int i = 0; i < libraries.size(); ++i)
        vdf += "\t\"" + QByteArray::number(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + libraries.at(i).toUtf8()
               + "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"1234\"\t\t\"1\"\n\t\t}\n\t}\n";
    return vdf + "}\n";
}
