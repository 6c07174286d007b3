#include "update/script_path_form.h"

#include "update/update_script.h"

#include <QDir>
#include <QFileInfo>
#include <QTextCodec>

#include <windows.h>

namespace {

std::optional<QString> short_form(const QString &folder)
{
    const std::wstring wide = QDir::toNativeSeparators(folder).toStdWString();
    const DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (needed == 0)
        return std::nullopt;
    std::wstring buffer(needed, L'\0');
    const DWORD written = GetShortPathNameW(wide.c_str(), buffer.data(), needed);
    if (written == 0 || written >= needed)
        return std::nullopt;
    buffer.resize(written);
    return QString::fromStdWString(buffer);
}

}  // namespace

std::optional<QString> script_path_form(const QString &path)
{
    // The locale codec is the ANSI code page (GetACP).
    QTextCodec *ansi = QTextCodec::codecForLocale();
    const bool oem_is_ansi = GetACP() == GetOEMCP();
    if (cmd_reads_back(path, ansi, oem_is_ansi))
        return path;
    // Only the folder: the file names must stay long, taskkill matches the program's by name.
    const QFileInfo info(path);
    const std::optional<QString> folder = short_form(info.absolutePath());
    if (!folder)
        return std::nullopt;
    const QString separator = folder->endsWith(QLatin1Char('\\')) ? QString() : QStringLiteral("\\");
    const QString shortened = *folder + separator + info.fileName();
    if (!cmd_reads_back(shortened, ansi, oem_is_ansi))
        return std::nullopt;
    return shortened;
}
