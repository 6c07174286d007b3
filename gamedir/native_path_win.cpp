#include "gamedir/native_path.h"

std::filesystem::path native_path(const QString &path)
{
    return std::filesystem::path(path.toStdWString());
}

bool is_path_separator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

int drive_prefix_length(const QString &path)
{
    return path.size() >= 2 && path.at(1) == QLatin1Char(':') ? 2 : 0;
}
