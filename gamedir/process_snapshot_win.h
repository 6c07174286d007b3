#pragma once
// Windows process enumeration without Qt, so that it also builds on its own
// (the Win32 check under Wine compiles it with a plain console program).

#include <string>
#include <vector>

struct WinProcess {
    std::wstring name;      // szExeFile of the snapshot
    std::wstring exe_path;  // QueryFullProcessImageNameW; empty when access is denied
};

// Every process of a Toolhelp snapshot, in snapshot order; processes that ended
// meanwhile are left out. Throws std::runtime_error when no snapshot can be taken.
std::vector<WinProcess> snapshot_processes();
