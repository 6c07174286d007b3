#pragma once
// Leftovers of interrupted transfers and installs in the mod folder.

#include <QString>

// Walks `mod_dir` and its sub-folders (top-down; unreadable folders and links are passed
// over). An install that a crash or a forced exit interrupted is undone from its move
// record (download/set_aside.h), which leaves the skin's old pair whole; a set-aside copy
// without a record is put back when its installed file is missing, otherwise removed.
// Then every other file whose name ends with ".tmp" (case-sensitive) is removed, and so
// is every empty file, since an empty .pak or .sig is never a usable skin. Each step,
// failed step and unreadable file is logged; nothing is thrown. Run only while no install
// is under way.
void remove_transfer_leftovers(const QString &mod_dir);

// The first part of the above alone: settles interrupted installs below `mod_dir` and
// touches nothing else (at start, when an earlier run may have ended half-way).
void restore_set_aside_copies(const QString &mod_dir);
