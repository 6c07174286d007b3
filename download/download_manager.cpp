#include "download/download_manager.h"

#include "download/download_worker.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace {
// Progress arrives once per received piece, tens of thousands of times a second, and
// every card of the skin repaints for it (drop shadow included). Handing the reports
// over in batches, at most twenty a second, keeps the GUI thread free for the user and
// off the CPU the transfer needs; a percentage shown 50 ms late is not noticed.
constexpr qint64 kProgressBatchMs = 50;
}  // namespace

DownloadManager::DownloadManager()
    : progress_timer(new QTimer(this))
{
    progress_timer->setSingleShot(true);
    connect(progress_timer, &QTimer::timeout, this, &DownloadManager::_emit_pending_progress);
}

DownloadManager *DownloadManager::instance()
{
    // Lives until the process ends, on the application's thread whoever asks first.
    static DownloadManager *const manager = [] {
        auto *made = new DownloadManager;
        if (QCoreApplication *app = QCoreApplication::instance())
            made->moveToThread(app->thread());
        return made;
    }();
    return manager;
}

void DownloadManager::add_task(const DownloadTask &task)
{
    if (!task)
        return;
    const QString id = task_skin_id(task);
    for (const DownloadTask &waiting : queue)
        if (task_skin_id(waiting) == id)
            return;
    if (current_task && task_skin_id(current_task) == id)
        return;
    queue.append(task);
    emit queue_updated();
    _process_queue();
}

bool DownloadManager::cancel_task(const QString &skin_id)
{
    if (current_task && task_skin_id(current_task) == skin_id) {
        // A worker that is moving the arrived files into place ends on its own and
        // reports how: the skin may already be installed.
        if (!current_worker->cancel())
            return true;
        _stop_current_thread();
        emit task_cancelled(skin_id);
        emit queue_updated();
        _process_queue();
        return true;
    }
    for (int i = 0; i < queue.size(); ++i) {
        if (task_skin_id(queue.at(i)) == skin_id) {
            queue.removeAt(i);
            emit queue_updated();
            return true;
        }
    }
    return false;
}

void DownloadManager::cancel_all()
{
    // Empty the queue first so that cancelling the running task starts nothing new.
    if (!queue.isEmpty()) {
        queue.clear();
        emit queue_updated();
    }
    if (!current_task)
        return;
    cancel_task(task_skin_id(current_task));
    // A task that refused the cancel is still moving files: wait for it, so that nothing
    // (the clean-up at close above all) finds the mod folder half-changed. Its outcome
    // arrives as usual.
    if (current_thread) {
        current_thread->quit();
        current_thread->wait();
    }
}

DownloadTask DownloadManager::get_current_task() const
{
    return current_task;
}

QVector<DownloadTask> DownloadManager::get_queue() const
{
    return queue;
}

bool DownloadManager::has_active_tasks() const
{
    return current_task || !queue.isEmpty();
}

int DownloadManager::get_current_progress() const
{
    return current_progress;
}

void DownloadManager::update_progress(quint64 serial, const QString &skin_name, int progress)
{
    if (serial == 0 || serial != current_serial || skin_name != current_name)
        return;
    current_progress = progress;
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(progress_mutex);
        pending_progress.append({serial, progress});
        post = !progress_delivery_posted;
        progress_delivery_posted = true;
    }
    // One queued call carries every report that piles up until it is handled.
    if (post)
        QMetaObject::invokeMethod(this, &DownloadManager::_deliver_progress, Qt::QueuedConnection);
}

void DownloadManager::_deliver_progress()
{
    const qint64 since = last_delivery.isValid() ? last_delivery.elapsed() : kProgressBatchMs;
    if (since < kProgressBatchMs) {
        if (!progress_timer->isActive())
            progress_timer->start(int(kProgressBatchMs - since));
        return;
    }
    _emit_pending_progress();
}

void DownloadManager::_emit_pending_progress()
{
    progress_timer->stop();
    last_delivery.start();
    QVector<ProgressReport> reports;
    {
        std::lock_guard<std::mutex> lock(progress_mutex);
        reports.swap(pending_progress);
        progress_delivery_posted = false;
    }
    // Checked per report: a receiver may end the task halfway through the batch.
    for (const ProgressReport &report : qAsConst(reports))
        if (report.serial == current_serial)
            emit progress_updated(current_name, report.progress);
}

void DownloadManager::_process_queue()
{
    if (current_worker || queue.isEmpty())
        return;
    _start_task(queue.takeFirst());
    emit queue_updated();
}

void DownloadManager::_start_task(const DownloadTask &task)
{
    const quint64 serial = ++last_serial;
    current_task = task;
    current_name = task_skin_name(task);
    current_progress = 0;
    current_serial = serial;
    // The sink names this run: a report that comes after the task was replaced is dropped.
    current_worker = new DownloadWorker(
        task, [this, serial, name = current_name](int percent) { update_progress(serial, name, percent); });
    current_thread = new QThread;
    current_worker->moveToThread(current_thread);
    connect(current_thread, &QThread::started, current_worker, &DownloadWorker::run);
    connect(current_worker, &DownloadWorker::progress, this, &DownloadManager::progress_updated);
    // The serial travels with each report: one that arrives after its task was replaced
    // must not end the task running by then.
    connect(current_worker, &DownloadWorker::finished, this,
            [this, serial](const QString &skin_name) { _on_task_finished(serial, skin_name); });
    connect(
        current_worker, &DownloadWorker::error, this,
        [this, serial](const QString &skin_name, const QString &error) { _on_task_error(serial, skin_name, error); });
    current_thread->start();
    emit task_started(current_name);
}

void DownloadManager::_on_task_finished(quint64 serial, const QString &skin_name)
{
    if (serial != current_serial || !current_worker)
        return;
    _emit_pending_progress();  // the worker reported all of them before it finished
    if (serial != current_serial)
        return;
    _stop_current_thread();
    emit task_completed(skin_name);
    emit queue_updated();
    _process_queue();
}

void DownloadManager::_on_task_error(quint64 serial, const QString &skin_name, const QString &error)
{
    if (serial != current_serial || !current_worker)
        return;
    _emit_pending_progress();
    if (serial != current_serial)
        return;
    _stop_current_thread();
    emit task_failed(skin_name, error);
    emit queue_updated();
    _process_queue();
}

void DownloadManager::_stop_current_thread()
{
    current_serial = 0;  // from here on the worker's reports are ignored
    current_thread->quit();
    current_thread->wait();
    delete current_worker;
    delete current_thread;
    current_worker = nullptr;
    current_thread = nullptr;
    current_task.reset();
    current_name.clear();
    current_progress = 0;
}

quint64 DownloadManager::TestHook::current_serial() const
{
    return manager.current_serial;
}

DownloadWorker *DownloadManager::TestHook::current_worker() const
{
    return manager.current_worker;
}

std::unique_lock<std::mutex> DownloadManager::TestHook::hold_progress_reports()
{
    return std::unique_lock<std::mutex>(manager.progress_mutex);
}

void DownloadManager::TestHook::restart_batch_interval()
{
    manager.last_delivery.start();
}
