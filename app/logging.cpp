#include "app/logging.h"

#include <QDateTime>
#include <QDir>
#include <QMutex>

#include <cstdio>

Q_LOGGING_CATEGORY(logger, "main", QtDebugMsg)

namespace {

const char *level_name(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "DEBUG";
    case QtInfoMsg:
        return "INFO";
    case QtWarningMsg:
        return "WARNING";
    case QtCriticalMsg:
        return "ERROR";
    case QtFatalMsg:
        return "CRITICAL";
    }
    return "INFO";
}

void write_line(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Qt's own messages carry the category "default" or "qt.*"; they share our format.
    const QString category = QString::fromLatin1(context.category ? context.category : "default");
    const QByteArray line = format_log_line(type, category, message).toUtf8() + '\n';
    static QMutex mutex;  // keeps lines from two threads apart
    QMutexLocker lock(&mutex);
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

}  // namespace

QString format_log_line(QtMsgType type, const QString &category, const QString &message)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss,zzz"));
    return stamp + QStringLiteral(" [") + QLatin1String(level_name(type)) + QStringLiteral("] ") + category
           + QStringLiteral(": ") + message;
}

void install_log_handler()
{
    QLoggingCategory::setFilterRules(QStringLiteral("main.debug=true"));
    qInstallMessageHandler(write_line);
}

void log_info(const QString &message)
{
    qCInfo(logger).noquote() << message;
}
void log_warning(const QString &message)
{
    qCWarning(logger).noquote() << message;
}
void log_error(const QString &message)
{
    qCCritical(logger).noquote() << message;
}

QString shown_path(const QString &path)
{
    return QDir::toNativeSeparators(path);
}
