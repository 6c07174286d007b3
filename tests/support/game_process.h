#pragma once
// A stand-in game: a process that the system lists under the game executable's name and
// path (a copy of wait_program.cpp there), running until the object goes or stop().

#include "gamedir/process_list.h"

#include <QList>
#include <QProcess>
#include <QString>

// Where the game's executable lies below its root folder.
QString game_exe_below(const QString &root);

class GameProcess {
public:
    // Copies the waiting program to `exe_path` and starts it there; with an
    // `environment`, that is the process's environment.
    explicit GameProcess(const QString &exe_path,
                         const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // Linux only: a process whose command line starts with `windows_path`, as Wine shows
    // a Windows program it runs.
    struct WineCommandLine {
        QString windows_path;
    };
    GameProcess(const WineCommandLine &shown_as, const QProcessEnvironment &environment);
    ~GameProcess();
    GameProcess(const GameProcess &) = delete;
    GameProcess &operator=(const GameProcess &) = delete;
    bool started() const { return running; }
    void stop();

private:
    void run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment);

    QProcess process;
    bool running = false;
};

// What the window's detection sees as the process list, until the harness resets it:
// the system's own list without game look-alikes except those below `root` (other suites
// may run such processes meanwhile), or a fixed list.
void list_only_games_below(const QString &root);
void list_fixed(const QList<ProcessInfo> &processes);
