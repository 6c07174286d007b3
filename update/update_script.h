#pragma once
// The batch script that swaps the program file for the downloaded one, and the checks
// on the names that go into it.

#include "app/outcome.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QTextCodec;

// "update.bat": waits, kills every process named like the running program, starts the
// new file, deletes the old one and then itself. CR LF after every line; the text
// begins with an empty line. Every "%" of a path is doubled, since cmd would otherwise
// expand it as a variable inside a batch file.
QString update_script_text(const QString &exe_path, const QString &new_exe_path, const QString &bat_path);

// `text` in the system's ANSI code page (the locale codec elsewhere), or none when a
// character has no form there: the command interpreter would read a different path,
// and a "?" stand-in is a wildcard to "del".
std::optional<QByteArray> encode_script(const QString &text, QTextCodec *codec = nullptr);

// True when cmd, reading a script written in `ansi`, gets `path` back exactly. cmd reads
// batch files in the console's (OEM) code page, so beyond ASCII that holds only where the
// OEM and ANSI code pages are the same and `ansi` has every character.
bool cmd_reads_back(const QString &path, QTextCodec *ansi, bool oem_is_ansi);

// Writes update_script_text to `bat_path`, each path in a form cmd reads back exactly
// (script_path_form); fails with the reason it could not.
Outcome<void> write_update_script(const QString &exe_path, const QString &new_exe_path, const QString &bat_path);

// The text after the last "/" of the download address (all of it when it holds none);
// a query string stays part of it.
QString last_url_segment(const QString &download_url);

// True for a name the new program file may take in the program's folder: a plain ".exe"
// name of ASCII letters, digits, ".", "_" and "-" that Windows takes as it is (no
// reserved device name, no trailing dot) and that is none of the files the program ships
// ("zorbel-skins.exe" runs, "uninstall.exe" is started by the next uninstall).
bool is_update_file_name(const QString &name);
