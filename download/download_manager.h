#pragma once
// The one process-wide download queue: runs tasks one at a time, each on a fresh
// QThread with a DownloadWorker, and tells every card and the queue dialog what
// happens through its six signals.

#include "download/task_record.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <mutex>

class DownloadWorker;
class QThread;
class QTimer;

class DownloadManager : public QObject {
    Q_OBJECT
public:
    static DownloadManager *instance();

    void add_task(const DownloadTask &task);
    // True when the task was found. A running task whose files are already moving into
    // place is not cancelled: it ends as it would have and reports that (no task_cancelled).
    bool cancel_task(const QString &skin_id);
    DownloadTask get_current_task() const;    // null when nothing runs
    QVector<DownloadTask> get_queue() const;  // a copy of the waiting records
    bool has_active_tasks() const;
    int get_current_progress() const;
    // Cancels the running task and every waiting one (used when the window closes); returns
    // once no worker touches the mod folder any more.
    void cancel_all();

    // Progress report of the running worker, through the sink the manager hands it at
    // creation; called on the worker's thread and never blocks. `serial` identifies the
    // task the report belongs to: reports of a task that is no longer current are ignored.
    // Every accepted report becomes one progress_updated, in order, emitted on the
    // manager's thread, before the task's task_completed or task_failed, and only while
    // that task is still current, so no receiver sees a percentage after the task's end.
    // Reports reach that thread in batches, at most twenty batches a second.
    void update_progress(quint64 serial, const QString &skin_name, int progress);

    // For tests only, on the manager's thread: what a suite needs to make a worker's report
    // reach the manager late.
    class TestHook {
    public:
        quint64 current_serial() const;
        DownloadWorker *current_worker() const;
        // While the lock is held, the running worker waits in its next progress report.
        std::unique_lock<std::mutex> hold_progress_reports();
        // As if a batch had gone out just now: the next reports wait for the next batch.
        void restart_batch_interval();

    private:
        friend class DownloadManager;
        explicit TestHook(DownloadManager &manager)
            : manager(manager)
        {
        }
        DownloadManager &manager;
    };
    TestHook test_hook() { return TestHook(*this); }

signals:
    void task_started(const QString &skin_name);
    void progress_updated(const QString &skin_name, int progress);
    void task_completed(const QString &skin_name);
    void task_failed(const QString &skin_name, const QString &message);
    void task_cancelled(const QString &skin_id);
    void queue_updated();

private:
    DownloadManager();
    void _process_queue();
    void _start_task(const DownloadTask &task);
    void _on_task_finished(quint64 serial, const QString &skin_name);
    void _on_task_error(quint64 serial, const QString &skin_name, const QString &error);
    void _stop_current_thread();
    void _deliver_progress();
    void _emit_pending_progress();

    // Touched on the manager's thread only.
    QVector<DownloadTask> queue;
    DownloadWorker *current_worker = nullptr;
    QThread *current_thread = nullptr;
    DownloadTask current_task;
    quint64 last_serial = 0;
    // Also read by the running worker's thread. current_name is written only while no
    // worker runs (before its thread starts), and read only after a matching serial.
    std::atomic<quint64> current_serial{0};  // 0 while nothing runs
    std::atomic_int current_progress{0};
    QString current_name;

    // Reports on their way from the worker's thread to this one.
    struct ProgressReport {
        quint64 serial;
        int progress;
    };
    std::mutex progress_mutex;
    QVector<ProgressReport> pending_progress;  // guarded by progress_mutex
    bool progress_delivery_posted = false;     // guarded by progress_mutex
    QTimer *progress_timer = nullptr;          // holds back a batch that comes too soon
    QElapsedTimer last_delivery;
};
