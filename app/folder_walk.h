#pragma once
// A top-down walk of a folder tree, as the mod folder is searched and cleaned.

#include <QString>
#include <QStringList>

#include <functional>

// Calls `visit` with every folder below `root` (root first, then each subtree in name
// order) and the names of its files (hidden and system files included, in name order);
// stops when `visit` returns false, and then returns false itself. Linked folders are not
// entered: they may lead out of the tree, or round in a loop.
bool walk_folders(const QString &root,
                  const std::function<bool(const QString &folder, const QStringList &files)> &visit);
