#pragma once
// The program's log during a benchmark: every line goes to a file (so the table stays
// readable), and each line is kept with the moment it was logged, on whatever thread
// logged it. A line logged right before a signal marks when that signal was emitted.

#include <QString>

namespace log_marks {

// Replaces the log handler; `path` receives the formatted lines.
void install(const QString &path);

// Forgets the lines kept so far (the file keeps them).
void clear();

// When the last kept line for which `matches` holds was logged (now_ns() clock); 0 if none.
qint64 last_time(bool (*matches)(const QString &message, const QString &arg), const QString &arg);

// Whether a kept line contains `text`.
bool contains(const QString &text);

}  // namespace log_marks
