#include "support/game_files.h"

#include "app/config.h"
#include "gamedir/game_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

QString mod_folder(const QString &game_dir)
{
    return join_path(game_dir, MOD_SUBDIR);
}

QString game_pak_file(const QString &game_dir)
{
    return join_path(game_dir, PAK_DIR, GAME_PAK_FILE);
}

void make_game(const QString &root)
{
    write_file(game_pak_file(root), "pak");
}

void write_file(const QString &path, const QByteArray &data)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(data), qint64(data.size()));
}

QByteArray read_file(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void install_pair(const QString &game_dir, const QString &name, const QByteArray &pak, const QByteArray &sig)
{
    write_file(join_path(mod_folder(game_dir), name + QStringLiteral(".pak")), pak);
    write_file(join_path(mod_folder(game_dir), name + QStringLiteral(".sig")), sig);
}

QStringList files_below(const QString &folder)
{
    QStringList found;
    const QDir root(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << root.relativeFilePath(it.next());
    found.sort();
    return found;
}

QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : files_below(folder))
        files.insert(name, read_file(QDir(folder).filePath(name)));
    return files;
}
