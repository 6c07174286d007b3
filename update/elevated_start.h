#pragma once
// Starting the update script with administrator rights.

#include <QString>
#include <QStringList>

// Windows: asks the shell to run `script_path` elevated (verb "runas", normal window);
// the shell's answer is not examined, a declined prompt just means the script never
// runs. Other systems have no such service: the request is logged and recorded.
void start_elevated(const QString &script_path);

// Scripts passed to start_elevated where it only records them, oldest first.
QStringList recorded_elevated_starts();
