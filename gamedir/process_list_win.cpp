#include "gamedir/process_list.h"
#include "gamedir/process_snapshot_win.h"

QList<ProcessInfo> platform_process_list()
{
    QList<ProcessInfo> processes;
    for (const WinProcess &process : snapshot_processes())
        processes.append({QString::fromStdWString(process.name), QString::fromStdWString(process.exe_path)});
    return processes;
}
