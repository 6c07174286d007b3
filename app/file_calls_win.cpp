#include "app/file_calls.h"

#include <QDir>

#include <windows.h>

namespace {

const wchar_t *native(const QString &path)
{
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

bool failed(QString *failure)
{
    *failure = qt_error_string(int(GetLastError()));
    return false;
}

}  // namespace

bool remove_file(const QString &path, QString *failure)
{
    return DeleteFileW(native(QDir::toNativeSeparators(path))) || failed(failure);
}

bool rename_file(const QString &src, const QString &dst, QString *failure)
{
    // A plain rename refuses an existing target; replacing it must still work. Write-through
    // returns only once the rename is on the disk.
    return MoveFileExW(native(QDir::toNativeSeparators(src)), native(QDir::toNativeSeparators(dst)),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
           || failed(failure);
}

bool flush_to_disk(const QString &path, QString *failure)
{
    const QString native_path = QDir::toNativeSeparators(path);
    const DWORD attributes = GetFileAttributesW(native(native_path));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return failed(failure);
    // NTFS journals names and renames itself (and rename_file writes through); a folder
    // handle cannot always be opened for writing, so only files are flushed here.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return true;
    const HANDLE file = CreateFileW(native(native_path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failed(failure);
    const bool flushed = FlushFileBuffers(file) || failed(failure);
    CloseHandle(file);
    return flushed;
}

bool is_link(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(native(QDir::toNativeSeparators(path)));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
