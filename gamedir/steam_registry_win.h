#pragma once
// Where the registry says Steam is installed (plain Win32, no Qt).

#include <string>
#include <vector>

// HKCU\Software\Valve\Steam "SteamPath" (the current user's Steam), then
// HKLM\SOFTWARE\WOW6432Node\Valve\Steam "InstallPath" (where the installer put it).
// Values that are absent, empty or not text are left out.
std::vector<std::wstring> steam_folders_from_registry();
