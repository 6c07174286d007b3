#pragma once
// The operating system's own file calls, where Qt's portable ones fall short: removal and
// rename that report the system's description of a failure, a flush to the disk, and the
// test for a link of any kind. Blocking; any thread.

#include <QString>

// Deletes one file (a link itself, not what it points to). On failure, `failure` gets the
// system's description.
bool remove_file(const QString &path, QString *failure);

// Renames `src` to `dst` on the same volume, replacing a file at `dst`; the rename is on
// the disk when the call returns.
bool rename_file(const QString &src, const QString &dst, QString *failure);

// Writes what the system still holds of the file or folder at `path` to the disk, so that
// the data written to a file, or the names made or renamed in a folder, survive a power
// loss.
bool flush_to_disk(const QString &path, QString *failure);

// True when `path` itself is a link of any kind: a symbolic link, and on Windows also a
// junction or any other reparse point (Qt 5.15's NoSymLinks does not pass over
// junctions). A walk that must stay inside a folder enters none of them.
bool is_link(const QString &path);
