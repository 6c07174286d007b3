#include "gamedir/process_list.h"

namespace {
ProcessLister &lister_override()
{
    static ProcessLister lister;
    return lister;
}
}  // namespace

ProcessList list_processes()
{
    const ProcessLister &lister = lister_override();
    return lister ? lister() : platform_process_list();
}

void set_process_lister(ProcessLister lister)
{
    lister_override() = std::move(lister);
}
