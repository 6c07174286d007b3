#pragma once
// Performs one download task on its own thread: probes the sizes of the skin's .pak and
// .sig files, streams both into ".tmp" files in the game's mod folder, and moves them
// into place only once both arrived whole, so a failed or cancelled task never leaves a
// half-installed skin (the run itself is download/task_run.h). The outcome is one signal
// (`finished` or `error`), or none when the task stopped because it was cancelled (the
// manager reports that itself).

#include "download/task_record.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class DownloadWorker : public QObject {
    Q_OBJECT
public:
    // Where the overall percentage goes: called directly on the worker's thread after every
    // received piece, so it must not block (the manager's sink batches the reports).
    using ProgressSink = std::function<void(int percent)>;

    DownloadWorker(DownloadTask task, ProgressSink report_progress);

    const DownloadTask task;

    // Any thread. Also aborts a request in progress, so a stalled transfer ends at once.
    // Refused (false) once both files have arrived and are being moved into place: the
    // task then runs to its end and reports how it went.
    bool cancel();
    // On the worker's thread, started by the manager.
    void run();

signals:
    void progress(const QString &skin_name, int percent);  // relayed by the manager; progress goes through the sink
    void finished(const QString &skin_name);
    void error(const QString &skin_name, const QString &message);

private:
    // Once: false when the task was cancelled before the move began.
    bool _begin_move();

    const ProgressSink _report_progress;

    enum Phase { Transferring, Cancelled, Moving };
    std::atomic_int _phase{Transferring};
    std::atomic_bool _is_cancelled{false};  // also the abort flag of the running request
};
