#include "support/game_process.h"

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
