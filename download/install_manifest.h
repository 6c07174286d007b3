#pragma once
// What this program installed in a mod folder: for each file it put in place, its size,
// modification time and SHA-256, kept in a small file at the top of the folder. It lets
// a card tell an install the catalogue has since replaced from a file the player changed
// or put there by hand. Knowing nothing is no error: a missing or damaged manifest reads
// as empty, and the cards then judge by file names alone.
//
// Thread-safe: the download thread records after an install, the GUI thread reads for
// the cards and forgets on an uninstall. Each folder's manifest is read once and kept in
// memory; every change is written through at once, atomically.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace install_manifest {

// The manifest's file name. No skin file may carry it, in any letter case (Windows folds
// case): the worker refuses such names and the installation search passes over it.
extern const QString FILE_NAME;
bool is_manifest_name(const QString &file_name);

// Remembers files just put in place at the top of `mod_dir`: (file name, SHA-256) pairs;
// size and modification time are read from the files. False when the manifest could not
// be written (the install stands all the same).
bool record(const QString &mod_dir, const QList<QPair<QString, QByteArray>> &files);

// Drops the entries of these file names.
void forget(const QString &mod_dir, const QStringList &file_names);

// The SHA-256 recorded for `file_name`, when the file at the top of `mod_dir` is still the
// one this program wrote there (same size and modification time); empty otherwise.
QByteArray unchanged_file_sha256(const QString &mod_dir, const QString &file_name);

}  // namespace install_manifest
