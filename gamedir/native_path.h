#pragma once
// A QString path as std::filesystem wants it: UTF-16 on Windows, the local 8-bit
// encoding elsewhere (so names that are not valid UTF-8 survive the round trip).

#include <QFile>
#include <QString>

#include <filesystem>

inline std::filesystem::path native_path(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}
