#pragma once
// Game folders on disk: the layout the program checks for, files written and read back,
// and what a folder holds after a case. Helpers that can fail record the failure in the
// running case (QVERIFY) rather than returning it.

#include "app/config.h"
#include "download/install_manifest.h"
#include "gamedir/game_folder.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QtTest>

// Writes `data` to `path`, making the folders above it.
inline void write_file(const QString &path, const QByteArray &data = QByteArray())
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(data), qint64(data.size()));
}

// The whole file, or nothing when it cannot be read.
inline QByteArray read_file(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The mod folder below a game's root folder.
inline QString mod_folder(const QString &game_dir)
{
    return join_path(game_dir, MOD_SUBDIR);
}

// The game's own .pak, whose presence makes a folder a game folder.
inline QString game_pak_file(const QString &game_dir)
{
    return join_path(game_dir, PAK_DIR, GAME_PAK_FILE);
}

// Lays out a game below `root`: the folders and its own .pak.
inline void make_game(const QString &root)
{
    write_file(game_pak_file(root), "pak");
}

// An earlier install of skin `name` (its .pak and .sig) in the mod folder of `game_dir`.
inline void install_pair(const QString &game_dir, const QString &name, const QByteArray &pak = "old pak",
                         const QByteArray &sig = "old sig")
{
    write_file(join_path(mod_folder(game_dir), name + QStringLiteral(".pak")), pak);
    write_file(join_path(mod_folder(game_dir), name + QStringLiteral(".sig")), sig);
}

// Every file below `folder`, relative to it, sorted (hidden ones included); the program's
// install manifest aside.
inline QStringList files_below(const QString &folder)
{
    QStringList found;
    const QDir root(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!install_manifest::is_manifest_name(it.fileName()))
            found << root.relativeFilePath(path);
    }
    found.sort();
    return found;
}

// The same files with their contents, to compare a folder before and after.
inline QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : files_below(folder))
        files.insert(name, read_file(QDir(folder).filePath(name)));
    return files;
}
