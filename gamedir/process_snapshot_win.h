#pragma once
// Windows process enumeration in the system's own terms (wide strings), apart from the
// Qt-facing list.

#include "app/outcome.h"

#include <string>
#include <vector>

struct WinProcess {
    std::wstring name;      // szExeFile of the snapshot
    std::wstring exe_path;  // QueryFullProcessImageNameW; empty when access is denied
};

// Every process of a Toolhelp snapshot, in snapshot order; processes that ended
// meanwhile are left out. Fails when no snapshot can be taken.
Outcome<std::vector<WinProcess>> snapshot_processes();
