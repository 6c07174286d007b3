#include "update/update_script.h"

#include "app/config.h"

#include <QStringList>
#include <QTextCodec>

QString update_script_text(const QString &exe_path, const QString &new_exe_path, const QString &bat_path)
{
    const QString quote = QStringLiteral("\"");
    const QStringList lines = {
        QString(),
        QStringLiteral("@echo off"),
        QStringLiteral("timeout /t 1 /nobreak >nul"),
        QStringLiteral("taskkill /F /IM ") + quote + windows_base_name(exe_path) + quote + QStringLiteral(" >nul 2>&1"),
        QStringLiteral("start \"\" ") + quote + new_exe_path + quote,
        QStringLiteral("timeout /t 3 /nobreak >nul"),
        QStringLiteral("del /F /Q ") + quote + exe_path + quote + QStringLiteral(" >nul 2>&1"),
        QStringLiteral("timeout /t 1 /nobreak >nul"),
        QStringLiteral("del /F /Q ") + quote + bat_path + quote + QStringLiteral(" >nul 2>&1"),
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

QString last_url_segment(const QString &download_url)
{
    return download_url.mid(download_url.lastIndexOf(QLatin1Char('/')) + 1);
}

bool is_plain_file_name(const QString &name)
{
    if (name.isEmpty() || is_reserved_windows_name(name))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control)
            return false;
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            return false;
    }
    return true;
}
