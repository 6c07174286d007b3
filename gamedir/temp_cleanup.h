#pragma once
// Leftovers of interrupted transfers and installs in the mod folder.

#include <QString>

// Walks `mod_dir` and its sub-folders (top-down; unreadable folders and links are passed
// over). Interrupted installs are settled first (settle_interrupted_moves() of
// download/set_aside.h), which leaves the skin's old pair whole. Then every other file
// whose name ends with ".tmp" (case-sensitive) is removed, and so is every empty file,
// since an empty .pak or .sig is never a usable skin. Each step, failed step and
// unreadable file is logged; nothing is thrown. Run only while no install is under way.
void remove_transfer_leftovers(const QString &mod_dir);
