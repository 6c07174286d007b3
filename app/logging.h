#pragma once
// The program's one logging path: Qt's logging with the category `logger` ("main").
// Lines look like "2026-12-08 01:02:03,456 [INFO] main: message" on stderr, UTF-8.
//   qCInfo(logger) << ...; qCWarning(logger) << ...; qCCritical(logger) << ...
// Use .noquote() or the printf form qCInfo(logger, "%s", ...) for verbatim text;
// log_info/log_warning/log_error below do that for a plain message.

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(logger)

// Installs the message handler (threshold DEBUG). Call once, first thing in main().
void install_log_handler();

// Formats one log line (without the line end); exposed for tests.
QString format_log_line(QtMsgType type, const QString &category, const QString &message);

void log_info(const QString &message);
void log_warning(const QString &message);
void log_error(const QString &message);

// A path as the user sees it in a log line, a label or a box: in the platform's own form
// (backslashes on Windows, where game folders arrive with them and the program joins
// with "/"). Stored paths keep their form.
QString shown_path(const QString &path);
