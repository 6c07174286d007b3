#include "gamedir/native_path.h"

#include <QFile>

std::filesystem::path native_path(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

bool is_path_separator(QChar c)
{
    return c == QLatin1Char('/');
}

int drive_prefix_length(const QString &)
{
    return 0;
}
