#pragma once
// Leftovers of interrupted transfers in the mod folder.

#include <QString>

// Walks `mod_dir` and its sub-folders (top-down; unreadable folders are passed over) and
// removes every file whose name ends with ".tmp" (case-sensitive) and every empty file,
// since an empty .pak or .sig is never a usable skin. Each removal, failed removal and
// unreadable file is logged; nothing is thrown.
void remove_transfer_leftovers(const QString &mod_dir);
