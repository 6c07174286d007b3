#include "update/update_script.h"

#include "app/config.h"
#include "update/script_path_form.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTextCodec>

QString update_script_text(const QString &exe_path, const QString &new_exe_path, const QString &bat_path)
{
    const auto quoted = [](QString path) {
        return QLatin1Char('"') + path.replace(QLatin1Char('%'), QLatin1String("%%")) + QLatin1Char('"');
    };
    const QStringList lines = {
        QString(),
        QStringLiteral("@echo off"),
        QStringLiteral("timeout /t 1 /nobreak >nul"),
        QStringLiteral("taskkill /F /IM ") + quoted(windows_base_name(exe_path)) + QStringLiteral(" >nul 2>&1"),
        QStringLiteral("start \"\" ") + quoted(new_exe_path),
        QStringLiteral("timeout /t 3 /nobreak >nul"),
        QStringLiteral("del /F /Q ") + quoted(exe_path) + QStringLiteral(" >nul 2>&1"),
        QStringLiteral("timeout /t 1 /nobreak >nul"),
        QStringLiteral("del /F /Q ") + quoted(bat_path) + QStringLiteral(" >nul 2>&1"),
        QStringLiteral("exit"),
    };
    QString text;
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

std::optional<QByteArray> encode_script(const QString &text, QTextCodec *codec)
{
    // On Windows the locale codec is the ANSI code page (GetACP).
    if (!codec)
        codec = QTextCodec::codecForLocale();
    const QByteArray bytes = codec->fromUnicode(text);
    // Code pages map what they lack to "?" or to a look-alike: only a faithful round
    // trip proves every character survived.
    if (codec->toUnicode(bytes) != text)
        return std::nullopt;
    return bytes;
}

bool cmd_reads_back(const QString &path, QTextCodec *ansi, bool oem_is_ansi)
{
    bool ascii = true;
    for (const QChar c : path)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    if (ascii)
        return true;
    return oem_is_ansi && encode_script(path, ansi).has_value();
}

Outcome<void> write_update_script(const QString &exe_path, const QString &new_exe_path, const QString &bat_path)
{
    // The script's own file must exist before its folder's short form names it.
    QFile file(bat_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Failure{bat_path + QStringLiteral(": ") + file.errorString()};
    const std::optional<QString> exe = script_path_form(exe_path);
    const std::optional<QString> fresh = script_path_form(new_exe_path);
    const std::optional<QString> bat = script_path_form(bat_path);
    const std::optional<QByteArray> script =
        exe && fresh && bat ? encode_script(update_script_text(*exe, *fresh, *bat)) : std::nullopt;
    if (!script) {
        file.remove();
        return Failure{QStringLiteral("路径无法写成命令解释器能读回的形式: ") + exe_path + QStringLiteral(" / ")
                       + new_exe_path};
    }
    if (file.write(*script) != script->size() || !file.flush()) {
        const QString error = bat_path + QStringLiteral(": ") + file.errorString();
        file.remove();
        return Failure{error};
    }
    return {};
}

QString last_url_segment(const QString &download_url)
{
    return download_url.mid(download_url.lastIndexOf(QLatin1Char('/')) + 1);
}

bool is_update_file_name(const QString &name)
{
    static const QRegularExpression plain_exe(QStringLiteral("^[A-Za-z0-9._-]+\\.exe$"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QStringList shipped = {QStringLiteral("zorbel-skins.exe"), QStringLiteral("uninstall.exe")};
    return plain_exe.match(name).hasMatch() && !is_reserved_windows_name(name)
           && !shipped.contains(name, Qt::CaseInsensitive);
}
