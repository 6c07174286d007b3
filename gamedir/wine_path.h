#pragma once
// Windows paths of programs that run under Wine (or Proton), mapped to the real files.

#include <QString>

// Maps a drive path such as "Z:\games\DH\x.exe" or "C:/x.exe" through the prefix's
// "dosdevices/<letter>:" link. Empty when the path has no drive letter or the prefix
// has no such drive.
QString wine_to_unix_path(const QString &windows_path, const QString &wine_prefix);

// True for a path that starts with a drive letter, a colon and a separator.
bool is_windows_drive_path(const QString &path);
