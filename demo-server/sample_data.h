#pragma once
// Sample content for trying the program: a catalogue with covers and skin files, and a
// fake game installation to install into.

#include <QString>

// Data folder layout served by the routes (see README.md).
QString catalog_path(const QString &data_dir);       // DATA/catalog.json
QString instructions_path(const QString &data_dir);  // DATA/instructions.html
QString covers_dir(const QString &data_dir);         // DATA/covers/<MainCategory>/<subcategory>/<cover>
QString skins_dir(const QString &data_dir);          // DATA/skins/<MainCategory>/<subcategory>/<file>
QString program_files_dir(const QString &data_dir);  // DATA/files/<name>

// Writes the sample catalogue, its instructions, covers and skin files into `data_dir`
// unless a catalogue is already there (a host's own catalogue is never touched).
// catalog.json is written last, so an interrupted run is redone at the next start.
// Needs a QGuiApplication: the covers carry drawn text.
// Returns an empty text on success, otherwise what went wrong; `generated` tells
// whether anything was written.
QString ensure_sample_catalog(const QString &data_dir, bool *generated = nullptr);

// Creates ROOT/DreadHunger/Content/Paks/DreadHunger-WindowsNoEditor.pak (small) and
// ROOT/DreadHunger/Binaries/Win64/. Returns an empty text on success.
QString make_fake_game(const QString &root);
