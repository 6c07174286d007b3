#pragma once
// Clocks, statistics, process memory and event-loop waits shared by the benchmarks.

#include <QString>
#include <QVector>

#include <functional>

// Monotonic time in nanoseconds.
qint64 now_ns();
double ms_between(qint64 from_ns, qint64 to_ns);

double median(QVector<double> values);

// Resident set size and its peak (VmRSS, VmHWM) of this process, in kB; -1 if unknown.
qint64 rss_kb();
qint64 peak_rss_kb();
// Resets the peak to the current size (Linux clear_refs); false when refused.
bool reset_peak_rss();

// CPU time (user + system) of this process, and of its children that have ended.
double process_cpu_seconds();
double process_system_cpu_seconds();  // the kernel's part of it
double thread_cpu_seconds();          // of the calling thread
double children_cpu_seconds();

// "/proc/loadavg"'s first three fields.
QString load_average();

// Runs the event loop until `done` holds or `timeout_ms` passed; true when it holds.
// `done` is checked every `poll_ms` and after every event burst.
bool wait_until(const std::function<bool()> &done, int timeout_ms, int poll_ms = 10);
// Runs the event loop for `ms` milliseconds.
void settle(int ms);
