#pragma once
// The file name the shortcuts start. An update arrives under a name of its own (the
// running program cannot be replaced under its name), and the update script deletes the
// old file; the new program takes the shortcuts' name back when it closes, so that a
// shortcut or a taskbar pin keeps starting the current version without a launcher.

#include "app/outcome.h"

#include <QDeadlineTimer>
#include <QString>

// "zorbel-skins.exe"
extern const QString PROGRAM_FILE_NAME;

// When `program_path` has a name an update is given (is_update_file_name) and nothing named
// PROGRAM_FILE_NAME stands beside it, renames the program to that name (a running program
// may be renamed, not replaced).
// Never replaces a file and never copies. Fails only when a needed rename does. GUI
// thread, at close.
// The update script deletes the old file a few seconds after it started the new one; a
// program closed before that waits for the name to come free until `old_file_gone_by`,
// rather than leave the shortcuts naming a file that is about to go.
Outcome<void> reclaim_program_name(const QString &program_path, QDeadlineTimer old_file_gone_by = QDeadlineTimer());
