#pragma once
// Starting the update script once the program has written it.

#include <QString>

#include <functional>

// Windows: asks the shell to open `script_path` with its default verb, in `working_dir`
// (the program's folder), in a normal window; the shell's answer is not examined. Not
// elevated: the program wrote the script and the new file without elevation, so
// elevation would protect nothing and would only run the new program as an administrator
// (or, after an over-the-shoulder prompt, as another account with its own settings).
// Other systems have no cmd: the request is only logged.
// Called from the update thread.
void start_update_script(const QString &script_path, const QString &working_dir);

// The platform's own start (script_start_win.cpp or script_start_posix.cpp).
void platform_start_update_script(const QString &script_path, const QString &working_dir);

// Replaces the start behind start_update_script() (tests); an empty function restores it.
// Set while no update runs.
using ScriptStarter = std::function<void(const QString &script_path, const QString &working_dir)>;
void set_script_starter(ScriptStarter starter);
