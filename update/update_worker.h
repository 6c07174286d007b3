#pragma once
// Drives the self-update on its own thread: run() schedules _start_update on the
// thread's event loop, which calls MainWindow::_start_update_process. That procedure
// reports its own outcome: progress texts reach the window by queued calls, and a
// failure ends the process through MainWindow::_force_close_program. Nothing in it
// throws, so update_finished is the one signal the worker emits.

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
    // Wired to the window's slots and kept as its channels, though not emitted at present.
    void update_progress(const QString &text);
    void update_error(const QString &message);
};
