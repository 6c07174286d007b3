// Console check of the Windows process list, run under Wine: a copy of this program
// placed where the game's executable lives in a fake installation must be found by
// its name, with its full path, and that path must lead four levels up to the fake
// installation's root.
//   process_snapshot_check.exe <fake root>   the check (exit status 0 when it holds)
//   process_snapshot_check.exe --child       the stand-in game: waits until ended

#include "gamedir/process_snapshot_win.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

const wchar_t kGameExe[] = L"DreadHunger-Win64-Shipping.exe";

int fail(const std::wstring &message)
{
    std::fwprintf(stderr, L"FAIL: %ls\n", message.c_str());
    return 1;
}

std::wstring own_path()
{
    std::wstring buffer(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], DWORD(buffer.size()));
    buffer.resize(length);
    return buffer;
}

const WinProcess *find_game(const std::vector<WinProcess> &processes)
{
    for (const WinProcess &process : processes)
        if (process.name == kGameExe)
            return &process;
    return nullptr;
}

int check(const fs::path &fake_root)
{
    const fs::path exe_dir = fake_root / L"DreadHunger" / L"Binaries" / L"Win64";
    std::error_code error;
    fs::remove_all(fake_root, error);
    fs::create_directories(exe_dir, error);
    if (error)
        return fail(L"cannot create " + exe_dir.wstring());
    const fs::path game_exe = exe_dir / kGameExe;
    if (!CopyFileW(own_path().c_str(), game_exe.c_str(), FALSE))
        return fail(L"cannot copy this program to " + game_exe.wstring());

    std::wstring command_line = L"\"" + game_exe.wstring() + L"\" --child";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(game_exe.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &child))
        return fail(L"cannot start " + game_exe.wstring());

    int status = 0;
    try {
        const std::vector<WinProcess> processes = snapshot_processes();
        std::fwprintf(stdout, L"%zu processes listed\n", processes.size());
        const WinProcess *game = find_game(processes);
        if (!game) {
            status = fail(L"the game process is not in the list");
        } else {
            std::fwprintf(stdout, L"found %ls at %ls\n", game->name.c_str(), game->exe_path.c_str());
            const fs::path listed(game->exe_path);
            const fs::path root = listed.parent_path().parent_path().parent_path().parent_path();
            if (game->exe_path != game_exe.wstring())
                status = fail(L"path " + game->exe_path + L" differs from " + game_exe.wstring());
            else if (!fs::equivalent(root, fake_root, error) || error)
                status = fail(L"four levels up is " + root.wstring() + L", not " + fake_root.wstring());
            else
                std::fwprintf(stdout, L"root %ls\n", root.wstring().c_str());
        }
    } catch (const std::exception &e) {
        status = fail(L"enumeration failed: " + std::wstring(e.what(), e.what() + std::strlen(e.what())));
    }

    TerminateProcess(child.hProcess, 0);
    WaitForSingleObject(child.hProcess, 10000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    fs::remove_all(fake_root, error);
    return status;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc == 2 && std::wstring(argv[1]) == L"--child") {
        Sleep(120000);
        return 0;
    }
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: process_snapshot_check <fake game root>\n");
        return 2;
    }
    const int status = check(fs::path(argv[1]));
    if (status == 0)
        std::fwprintf(stdout, L"PASS\n");
    return status;
}
