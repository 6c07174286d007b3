#pragma once
// Game folders on disk: the layout the program checks for, files written and read back,
// and what a folder holds after a case. Helpers that can fail record the failure in the
// running case (QVERIFY) rather than returning it.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// The mod folder below a game's root folder.
QString mod_folder(const QString &game_dir);
// The game's own .pak, whose presence makes a folder a game folder.
QString game_pak_file(const QString &game_dir);
// Lays out a game below `root`: the folders and its own .pak.
void make_game(const QString &root);

// Writes `data` to `path`, making the folders above it.
void write_file(const QString &path, const QByteArray &data = QByteArray());
// The whole file, or nothing when it cannot be read.
QByteArray read_file(const QString &path);

// An earlier install of skin `name` (its .pak and .sig) in the mod folder of `game_dir`.
void install_pair(const QString &game_dir, const QString &name, const QByteArray &pak = "old pak",
                  const QByteArray &sig = "old sig");

// Every file below `folder`, relative to it, sorted (hidden ones included).
QStringList files_below(const QString &folder);
// The same files with their contents, to compare a folder before and after.
QMap<QString, QByteArray> snapshot(const QString &folder);
