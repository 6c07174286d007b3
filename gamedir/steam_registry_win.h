#pragma once
// Where the registry says Steam is installed, without Qt, so that it also builds on its
// own (the Win32 check under Wine compiles it with a plain console program).

#include <string>
#include <vector>

// HKCU\Software\Valve\Steam "SteamPath" (the current user's Steam), then
// HKLM\SOFTWARE\WOW6432Node\Valve\Steam "InstallPath" (where the installer put it).
// Values that are absent, empty or not text are left out.
std::vector<std::wstring> steam_folders_from_registry();
