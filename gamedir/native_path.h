#pragma once
// Paths by this platform's rules (native_path_win.cpp, native_path_posix.cpp): which
// characters separate folders, where a drive prefix ends, and the form std::filesystem
// takes. Pure functions; any thread.

#include <QChar>
#include <QString>

#include <filesystem>

// A QString path as std::filesystem wants it: UTF-16 on Windows, the local 8-bit encoding
// elsewhere (so names that are not valid UTF-8 survive the round trip).
std::filesystem::path native_path(const QString &path);

// "/" and "\" on Windows, "/" elsewhere.
bool is_path_separator(QChar c);

// The length of a drive prefix ("C:") that starts `path` on Windows; 0 elsewhere.
int drive_prefix_length(const QString &path);
