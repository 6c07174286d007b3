#include "update/program_name.h"

#include "update/update_script.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

const QString PROGRAM_FILE_NAME = QStringLiteral("zorbel-skins.exe");

Outcome<void> reclaim_program_name(const QString &program_path, QDeadlineTimer old_file_gone_by)
{
    const QFileInfo program(program_path);
    // Only a program that runs under a name an update is given; any other name (the
    // installed one, a Linux program's) is the one its installation chose.
    if (!is_update_file_name(program.fileName()))
        return {};
    QDir folder = program.absoluteDir();
    const QString target = folder.filePath(PROGRAM_FILE_NAME);
    while (QFileInfo::exists(target) && !old_file_gone_by.hasExpired())
        QThread::msleep(100);
    if (QFileInfo::exists(target))
        return {};  // the old version is still there, or another program took the name
    // QDir::rename is a plain rename: unlike QFile::rename it never falls back to a copy,
    // and it does not replace a file that appeared meanwhile.
    if (!folder.rename(program.fileName(), PROGRAM_FILE_NAME))
        return Failure{program_path + QStringLiteral(" -> ") + target};
    return {};
}
