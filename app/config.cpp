#include "app/config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

const QString PAK_DIR = QStringLiteral("DreadHunger\\Content\\Paks");
const QString MOD_SUBDIR = QStringLiteral("DreadHunger\\Content\\Paks\\qvmods");

const QString TRANSFER_SUFFIX = QStringLiteral(".tmp");
const QString SET_ASIDE_SUFFIX = QStringLiteral(".setaside");
const QString MOVE_RECORD_SUFFIX = QStringLiteral(".moving");

QString CACHE_DIR;

QString join_path(const QString &base, const QString &relative)
{
    static const QRegularExpression separators(QStringLiteral("[\\\\/]+"));
    QString result = base;
    for (const QString &piece : relative.split(separators, Qt::SkipEmptyParts)) {
        if (!result.isEmpty() && !result.endsWith(QLatin1Char('/')) && !result.endsWith(QLatin1Char('\\')))
            result += QLatin1Char('/');
        result += piece;
    }
    return result;
}

QString join_path(const QString &base, const QString &relative, const QString &name)
{
    return join_path(join_path(base, relative), name);
}

QString windows_base_name(const QString &path)
{
    const int cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

bool is_reserved_windows_name(const QString &name)
{
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return true;
    static const QRegularExpression device(
        QStringLiteral("^(CON|PRN|AUX|NUL|CONIN\\$|CONOUT\\$|(COM|LPT)[0-9\u00b9\u00b2\u00b3]) *(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return device.match(name).hasMatch();
}

bool usable_file_name(const QString &name)
{
    if (name.isEmpty() || is_reserved_windows_name(name) || name.contains(QLatin1Char(':')))
        return false;
    const bool control =
        std::any_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
    const QStringList own = {TRANSFER_SUFFIX, SET_ASIDE_SUFFIX, MOVE_RECORD_SUFFIX};
    return !control && std::none_of(own.begin(), own.end(), [&name](const QString &s) {
        return name.endsWith(s, Qt::CaseInsensitive);
    });
}

QString app_icon_path()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("app.ico"));
}

QString server_host()
{
    const QString fromEnv = qEnvironmentVariable("ZORBEL_SERVER").trimmed();
    return fromEnv.isEmpty() ? QStringLiteral(ZORBEL_DEFAULT_SERVER) : fromEnv;
}

QString extra_ca_file()
{
    return qEnvironmentVariable("ZORBEL_CA_FILE");
}
