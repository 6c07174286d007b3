#include "update/script_start.h"

namespace {
ScriptStarter &starter_override()
{
    static ScriptStarter starter;
    return starter;
}
}  // namespace

void start_update_script(const QString &script_path, const QString &working_dir)
{
    const ScriptStarter &starter = starter_override();
    if (starter)
        starter(script_path, working_dir);
    else
        platform_start_update_script(script_path, working_dir);
}

void set_script_starter(ScriptStarter starter)
{
    starter_override() = std::move(starter);
}
