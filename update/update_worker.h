#pragma once
// Drives the self-update on its own thread: run() schedules _start_update on the
// thread's event loop, which calls MainWindow::_start_update_process.

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
    void update_progress(const QString &text);
    void update_finished();
    void update_error(const QString &message);
};
