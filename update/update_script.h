#pragma once
// The batch script that swaps the program file for the downloaded one, and the checks
// on the names that go into it.

#include <QByteArray>
#include <QString>

#include <optional>

class QTextCodec;

// "update.bat": waits, kills every process named like the running program, starts the
// new file, deletes the old one and then itself. CR LF after every line; the text
// begins with an empty line. The paths are inserted as they are.
QString update_script_text(const QString &exe_path, const QString &new_exe_path, const QString &bat_path);

// `text` in the system's ANSI code page (the locale codec elsewhere), or none when a
// character has no form there: the command interpreter would read a different path,
// and a "?" stand-in is a wildcard to "del".
std::optional<QByteArray> encode_script(const QString &text, QTextCodec *codec = nullptr);

// The text after the last "/" of the download address (all of it when it holds none);
// a query string stays part of it.
QString last_url_segment(const QString &download_url);

// True for a name that can only mean a file in the working folder: not empty, no path
// separator or drive colon, no control character, none of the characters Windows refuses
// in file names, and no name Windows reserves (is_reserved_windows_name; "." and ".."
// among them). Two dots inside a name ("tool..v2.exe") are harmless.
bool is_plain_file_name(const QString &name);
