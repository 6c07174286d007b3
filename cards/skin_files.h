#pragma once
// The files of an installed skin and where they are found: anywhere below the mod
// folder, under the base names of the record's "sig_original" and "pak_original".

#include <QJsonObject>
#include <QString>
#include <QStringList>

struct SkinFileNames {
    QString sig_name;  // empty when the record has no "sig_original"
    QString pak_name;  // empty when the record has no "pak_original"
};

// Base names by Windows rules (after the last slash or backslash).
SkinFileNames skin_file_names(const QJsonObject &skin_data);

// The mod folder below a game folder.
QString mod_dir_of(const QString &game_dir);

// Walks `mod_dir` top-down (the folder itself first) and tells whether a file named
// exactly like either name exists; stops at the first folder that holds one.
bool skin_installed(const QString &mod_dir, const SkinFileNames &names);

// Whether an installed skin is one the catalogue has replaced since: both files stand at
// the top of `mod_dir` as this program wrote them (the install manifest), and a SHA-256
// the record now gives differs from the recorded one. Reads no file's content.
bool skin_outdated(const QString &mod_dir, const SkinFileNames &names, const QJsonObject &skin_data);

// Every file below `mod_dir` named exactly like either name, in walk order.
QStringList installed_skin_files(const QString &mod_dir, const SkinFileNames &names);
