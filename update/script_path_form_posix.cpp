#include "update/script_path_form.h"

std::optional<QString> script_path_form(const QString &path)
{
    return path;
}
