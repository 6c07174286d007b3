#pragma once
// Steam folders laid out for a case: a home folder of its own while the object lives,
// where Steam folders and their library lists are written. On Windows Steam names its
// folder in the registry, which the fixture points there instead (and clears afterwards).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class FakeSteamHome {
public:
    FakeSteamHome();
    ~FakeSteamHome();
    FakeSteamHome(const FakeSteamHome &) = delete;
    FakeSteamHome &operator=(const FakeSteamHome &) = delete;

    QString path(const QString &relative) const;
    // The Steam folder at `relative` below home, with `vdf` as its library list.
    void steam_folder(const QString &relative, const QByteArray &vdf) const;

private:
    QTemporaryDir home;
    QByteArray previous_home;
};

// A library list (libraryfolders.vdf) naming `libraries` in order.
QByteArray library_list(const QStringList &libraries);
