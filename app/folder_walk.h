#pragma once
// A top-down walk of a folder tree, as the mod folder is searched and cleaned.

#include <QString>
#include <QStringList>

#include <functional>

// Calls `visit` with every folder below `root` (root first, then each subtree in name
// order) and the names of its files (hidden and system files included, in name order);
// stops when `visit` returns false, and then returns false itself. A link of any kind
// (symbolic link, junction, other reparse point) is never entered, `root` included: it may
// lead out of the tree, where the clean-up would delete files, or round in a loop. A
// folder swapped for a link between the test and the listing is not caught.
bool walk_folders(const QString &root,
                  const std::function<bool(const QString &folder, const QStringList &files)> &visit);
