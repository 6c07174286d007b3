#include "update/update_worker.h"

#include "app/mainwindow.h"

#include <QTimer>

#include <exception>

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
    // The slot boundary of the update thread: an exception let through here would end
    // the process without a word; the window turns this one into its fatal box.
    try {
        main_window->_start_update_process(info);
        emit update_finished();
    } catch (const std::exception &error) {
        emit update_error(QStringLiteral("更新失败: ") + QString::fromLocal8Bit(error.what()));
    }
}
