#pragma once
// Installed files that an install moves out of the way while the new ones move in. Until
// the install ends, such a copy is the only one of the installed file: its own suffix
// lets the clean-up put it back, instead of deleting it, when a crash or a forced exit
// left it behind.

#include <QString>

extern const QString SET_ASIDE_SUFFIX;  // ".setaside"

// Where an install keeps `installed_path` while it replaces it.
QString set_aside_path(const QString &installed_path);
