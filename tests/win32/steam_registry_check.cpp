// Console check of the registry look-up of Steam, run under Wine: with both values set,
// the current user's SteamPath comes before the machine's InstallPath; without the first,
// only the second; an empty value counts as none.

#include "gamedir/steam_registry_win.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t kUserKey[] = L"Software\\Valve\\Steam";
const wchar_t kMachineKey[] = L"SOFTWARE\\WOW6432Node\\Valve\\Steam";

bool set_text(HKEY root, const wchar_t *key, const wchar_t *name, const std::wstring &value)
{
    const DWORD bytes = DWORD((value.size() + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(root, key, name, REG_SZ, value.c_str(), bytes) == ERROR_SUCCESS;
}

std::wstring shown(const std::vector<std::wstring> &folders)
{
    std::wstring text;
    for (const std::wstring &folder : folders)
        text += L"[" + folder + L"]";
    return text;
}

int expect(const wchar_t *step, const std::vector<std::wstring> &wanted)
{
    const std::vector<std::wstring> found = steam_folders_from_registry();
    std::fwprintf(stdout, L"%ls: %ls\n", step, shown(found).c_str());
    if (found == wanted)
        return 0;
    std::fwprintf(stderr, L"FAIL: %ls: wanted %ls\n", step, shown(wanted).c_str());
    return 1;
}

} // namespace

int main()
{
    const std::wstring user = L"c:/program files (x86)/steam";
    const std::wstring machine = L"D:\\Steam";
    if (!set_text(HKEY_CURRENT_USER, kUserKey, L"SteamPath", user)
        || !set_text(HKEY_LOCAL_MACHINE, kMachineKey, L"InstallPath", machine)) {
        std::fwprintf(stderr, L"FAIL: cannot write the registry\n");
        return 1;
    }
    int failures = expect(L"both", {user, machine});
    set_text(HKEY_CURRENT_USER, kUserKey, L"SteamPath", L"");
    failures += expect(L"empty SteamPath", {machine});
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kUserKey, L"SteamPath");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kMachineKey, L"InstallPath");
    failures += expect(L"neither", {});
    if (failures == 0)
        std::fwprintf(stdout, L"PASS\n");
    return failures == 0 ? 0 : 1;
}
