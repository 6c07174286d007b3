#include "app/file_calls.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool failed(QString *failure)
{
    *failure = qt_error_string(errno);
    return false;
}

}  // namespace

bool remove_file(const QString &path, QString *failure)
{
    return ::unlink(QFile::encodeName(path).constData()) == 0 || failed(failure);
}

bool rename_file(const QString &src, const QString &dst, QString *failure)
{
    // The folder's flush is left to the caller, which knows when a series of renames ends.
    return ::rename(QFile::encodeName(src).constData(), QFile::encodeName(dst).constData()) == 0 || failed(failure);
}

bool flush_to_disk(const QString &path, QString *failure)
{
    // A folder opens read-only as well; fsync on it makes its entries durable.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failed(failure);
    const bool flushed = ::fsync(fd) == 0 || failed(failure);
    ::close(fd);
    return flushed;
}

bool is_link(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}
