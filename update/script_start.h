#pragma once
// Starting the update script once the program has written it.

#include <QString>
#include <QStringList>

// Windows: asks the shell to open `script_path` with its default verb, in `working_dir`
// (the program's folder), in a normal window; the shell's answer is not examined. Not
// elevated: the program wrote the script and the new file without elevation, so
// elevation would protect nothing and would only run the new program as an administrator
// (or, after an over-the-shoulder prompt, as another account with its own settings).
// Other systems have no cmd: the request is logged and recorded.
// Called from the update thread.
void start_update_script(const QString &script_path, const QString &working_dir);

// Scripts passed to start_update_script where it only records them, oldest first.
QStringList recorded_script_starts();
