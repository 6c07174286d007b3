#include "gamedir/process_snapshot_win.h"

#include <windows.h>
#include <tlhelp32.h>

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle)
        : handle_(handle)
    {
    }
    ~Handle()
    {
        if (valid())
            CloseHandle(handle_);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

enum class PathResult { Found, Denied, Gone };

PathResult image_path(DWORD pid, std::wstring &path)
{
    Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process.valid()) {
        // ERROR_INVALID_PARAMETER: no such process any more (the idle process 0 never opens).
        const bool gone = GetLastError() == ERROR_INVALID_PARAMETER && pid != 0;
        return gone ? PathResult::Gone : PathResult::Denied;
    }
    // Long-path aware: grow the buffer up to the longest path Windows allows.
    for (DWORD capacity = MAX_PATH; capacity <= 32768; capacity *= 2) {
        std::wstring buffer(capacity, L'\0');
        DWORD length = capacity;
        if (QueryFullProcessImageNameW(process.get(), 0, &buffer[0], &length)) {
            buffer.resize(length);
            path = buffer;
            return PathResult::Found;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
    }
    DWORD exit_code = 0;
    if (GetExitCodeProcess(process.get(), &exit_code) && exit_code != STILL_ACTIVE)
        return PathResult::Gone;
    return PathResult::Denied;
}

}  // namespace

Outcome<std::vector<WinProcess>> snapshot_processes()
{
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid())
        return Failure{QStringLiteral("CreateToolhelp32Snapshot failed, error %1").arg(GetLastError())};

    std::vector<WinProcess> processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        WinProcess process;
        process.name = entry.szExeFile;
        if (image_path(entry.th32ProcessID, process.exe_path) == PathResult::Gone)
            continue;
        processes.push_back(std::move(process));
    }
    return processes;
}
