#include "support/game_process.h"

#include "gamedir/game_folder.h"
#include "support/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString game_exe_below(const QString &root)
{
    return root + QStringLiteral("/DreadHunger/Binaries/Win64/DreadHunger-Win64-Shipping.exe");
}

GameProcess::GameProcess(const QString &exe_path, const QProcessEnvironment &environment)
{
    if (QDir().mkpath(QFileInfo(exe_path).path()) && QFile::copy(waiting_program(), exe_path))
        run(exe_path, {QStringLiteral("60")}, environment);
}

GameProcess::GameProcess(const WineCommandLine &shown_as, const QProcessEnvironment &environment)
{
    run(QStringLiteral("/bin/bash"),
        {QStringLiteral("-c"), QStringLiteral("exec -a \"$1\" /bin/sleep 60"), QStringLiteral("bash"),
         shown_as.windows_path},
        environment);
}

void GameProcess::run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
{
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    running = process.waitForStarted(10000);
}

GameProcess::~GameProcess()
{
    stop();
}

void GameProcess::stop()
{
    if (!running)
        return;
    process.kill();
    process.waitForFinished(10000);
    running = false;
}

void list_only_games_below(const QString &root)
{
    const QString below = QDir::toNativeSeparators(root + QLatin1Char('/'));
    set_process_lister([below] {
        QList<ProcessInfo> processes;
        for (const ProcessInfo &process : platform_process_list().value)
            if (!process.name.contains(GAME_EXE_NAME) || process.exe_path.startsWith(below))
                processes.append(process);
        return processes;
    });
}

void list_fixed(const QList<ProcessInfo> &processes)
{
    set_process_lister([processes] { return processes; });
}
