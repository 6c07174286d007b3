#include "update/update_worker.h"

#include "app/mainwindow.h"

#include <QTimer>

UpdateWorker::UpdateWorker(const QJsonObject &info, MainWindow *main_window)
    : QObject(nullptr)
    , info(info)
    , main_window(main_window)
{
}

void UpdateWorker::run()
{
    // From the thread's event loop, so that the thread has fully started.
    QTimer::singleShot(0, this, &UpdateWorker::_start_update);
}

void UpdateWorker::_start_update()
{
    main_window->_start_update_process(info);
    emit update_finished();
}
