#pragma once
// How a path is written into the update script so that cmd reads it back exactly.

#include <QString>

#include <optional>

// `path` itself when cmd reads it back (cmd_reads_back with this system's code pages);
// otherwise the path with its folder in the short (8.3) form, when that reads back; none
// when neither does. Systems without cmd take every path as it is.
std::optional<QString> script_path_form(const QString &path);
