#include "gamedir/process_list.h"
#include "gamedir/process_snapshot_win.h"

ProcessList platform_process_list()
{
    const Outcome<std::vector<WinProcess>> snapshot = snapshot_processes();
    if (!snapshot.ok())
        return Failure{snapshot.error};
    QList<ProcessInfo> processes;
    for (const WinProcess &process : *snapshot)
        processes.append({QString::fromStdWString(process.name), QString::fromStdWString(process.exe_path)});
    return processes;
}
