#include "download/download_worker.h"

#include "app/config.h"
#include "download/task_run.h"

DownloadWorker::DownloadWorker(DownloadTask task, ProgressSink report_progress)
    : task(std::move(task))
    , _report_progress(std::move(report_progress))
{
}

bool DownloadWorker::cancel()
{
    int phase = Transferring;
    if (!_phase.compare_exchange_strong(phase, Cancelled) && phase == Moving)
        return false;
    _is_cancelled = true;
    return true;
}

bool DownloadWorker::_begin_move()
{
    int phase = Transferring;
    return _phase.compare_exchange_strong(phase, Moving);
}

void DownloadWorker::run()
{
    const QVariantMap skin = task_skin_data(task);
    const QString skin_name = task_skin_name(task);
    const QString install_path = join_path(task_game_dir(task), MOD_SUBDIR);

    TaskRun run(skin, install_path, _is_cancelled, _report_progress, [this] { return _begin_move(); });
    const TaskOutcome outcome = run.execute();
    if (outcome != TaskOutcome::Done)
        run.remove_temp_files();
    if (outcome == TaskOutcome::Failed)
        emit error(skin_name, run.message);
    else if (outcome == TaskOutcome::Done)
        emit finished(skin_name);
}
