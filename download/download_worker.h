#pragma once
// Performs one download task on its own thread: probes the sizes of the skin's .pak and
// .sig files, streams both into ".tmp" files in the game's mod folder, and moves them
// into place only once both arrived whole, so a failed or cancelled task never leaves a
// half-installed skin. The outcome is one signal (`finished` or `error`), or none when
// the task stopped because it was cancelled (the manager reports that itself).

#include "download/download_manager.h"

#include <QObject>
#include <QString>

#include <atomic>

class DownloadWorker : public QObject {
    Q_OBJECT
public:
    // `serial` names this run in the manager's progress reports.
    DownloadWorker(DownloadTask task, quint64 serial);

    const DownloadTask task;
    const quint64 serial;

    // Any thread. Also aborts a request in progress, so a stalled transfer ends at once.
    // Refused (false) once both files have arrived and are being moved into place: the
    // task then runs to its end and reports how it went.
    bool cancel();
    // On the worker's thread, started by the manager.
    void run();

signals:
    void progress(const QString &skin_name, int percent);  // relayed by the manager; progress goes through update_progress
    void finished(const QString &skin_name);
    void error(const QString &skin_name, const QString &message);

private:
    // Once: false when the task was cancelled before the move began.
    bool _begin_move();

    enum Phase { Transferring, Cancelled, Moving };
    std::atomic_int _phase{Transferring};
    std::atomic_bool _is_cancelled{false};  // also the abort flag of the running request
};
