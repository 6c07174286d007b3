#pragma once
// Drives the self-update on its own thread: run() schedules _start_update on the
// thread's event loop, which calls MainWindow::_start_update_process. That procedure
// reports its own outcome: progress texts reach the window by queued calls, and a
// failure ends the process through MainWindow::_force_close_program. update_error
// carries only what escapes it (an exception), caught once at the slot boundary.

#include <QJsonObject>
#include <QObject>
#include <QString>

class MainWindow;

class UpdateWorker : public QObject {
    Q_OBJECT
public:
    UpdateWorker(const QJsonObject &info, MainWindow *main_window);

    QJsonObject info;
    MainWindow *main_window;

    void run();
    void _start_update();

signals:
    void update_finished();
    void update_error(const QString &message);
    // Wired to the window's progress text; the procedure itself queues its texts directly.
    void update_progress(const QString &text);
};
