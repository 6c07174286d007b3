#include "gamedir/steam_registry_win.h"

#include <windows.h>

#include <cwchar>

namespace {

std::wstring registry_text(HKEY root, const wchar_t *key, const wchar_t *name)
{
    DWORD bytes = 0;
    // Steam writes plain texts. (Expandable ones would need RRF_NOEXPAND here, or the
    // call fails with ERROR_INVALID_PARAMETER.)
    const DWORD flags = RRF_RT_REG_SZ;
    if (RegGetValueW(root, key, name, flags, nullptr, nullptr, &bytes) != ERROR_SUCCESS || bytes < sizeof(wchar_t))
        return std::wstring();
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(root, key, name, flags, nullptr, &text[0], &bytes) != ERROR_SUCCESS)
        return std::wstring();
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

}  // namespace

std::vector<std::wstring> steam_folders_from_registry()
{
    std::vector<std::wstring> folders;
    for (const std::wstring &folder :
         {registry_text(HKEY_CURRENT_USER, L"Software\\Valve\\Steam", L"SteamPath"),
          registry_text(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\Valve\\Steam", L"InstallPath")})
        if (!folder.empty())
            folders.push_back(folder);
    return folders;
}
