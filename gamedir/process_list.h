#pragma once
// The running processes of the machine, as the game-folder detection needs them.

#include "app/outcome.h"

#include <QList>
#include <QString>

#include <functional>

struct ProcessInfo {
    QString name;      // executable file name, e.g. "DreadHunger-Win64-Shipping.exe"
    QString exe_path;  // full path of the executable; empty when it cannot be read
};

using ProcessList = Outcome<QList<ProcessInfo>>;

// Every running process, in the order the system lists them. A process that vanishes
// while it is examined is left out; one whose details are denied keeps its name and an
// empty path. Fails when the system list itself cannot be read.
ProcessList list_processes();

// The platform's own enumeration (process_list_linux.cpp or process_list_win.cpp).
ProcessList platform_process_list();

// Replaces the enumeration behind list_processes() (tests); an empty function restores it.
using ProcessLister = std::function<ProcessList()>;
void set_process_lister(ProcessLister lister);
