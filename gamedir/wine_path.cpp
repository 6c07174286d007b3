#include "gamedir/wine_path.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
const QRegularExpression &drive_path_pattern()
{
    static const QRegularExpression pattern(QStringLiteral("^([A-Za-z]):[\\\\/](.*)$"));
    return pattern;
}
}  // namespace

bool is_windows_drive_path(const QString &path)
{
    return drive_path_pattern().match(path).hasMatch();
}

QString wine_to_unix_path(const QString &windows_path, const QString &wine_prefix)
{
    const QRegularExpressionMatch match = drive_path_pattern().match(windows_path);
    if (!match.hasMatch() || wine_prefix.isEmpty())
        return QString();
    const QString drive_link =
        QDir(wine_prefix).filePath(QStringLiteral("dosdevices/%1:").arg(match.captured(1).toLower()));
    // The drive links are usually relative ("../drive_c") or point at "/";
    // the canonical form resolves both and is empty when the target is missing.
    QString result = QFileInfo(drive_link).canonicalFilePath();
    if (result.isEmpty())
        return QString();
    static const QRegularExpression separators(QStringLiteral("[\\\\/]+"));
    for (const QString &piece : match.captured(2).split(separators, Qt::SkipEmptyParts)) {
        if (!result.endsWith(QLatin1Char('/')))
            result += QLatin1Char('/');
        result += piece;
    }
    return result;
}
