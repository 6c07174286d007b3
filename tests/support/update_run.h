#pragma once
// One self-update run in a case's WindowHarness: a working folder of its own (the current
// folder while the run lives), the boxes the window shows, the texts of its status label,
// the update scripts it would start.
// GUI thread only.

#include "support/window_fixture.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class MainWindow;

// Where the update script goes: beside the program's own module.
QString script_path();

// Scripts the window asked to start while an UpdateRun lived, oldest first (the run
// records them in place of the system's start).
QStringList recorded_script_starts();

// Reads the status label after every queued call the window handles, so that each text
// sent from the update thread is seen even when the next follows at once.
class LabelHistory : public QObject {
public:
    explicit LabelHistory(MainWindow *window);
    QStringList texts;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MainWindow *window;
    bool handling = false;
};

struct UpdateRun {
    explicit UpdateRun(WindowHarness &harness);
    ~UpdateRun();
    UpdateRun(const UpdateRun &) = delete;
    UpdateRun &operator=(const UpdateRun &) = delete;

    // Builds the window and lets its check find `version`; the run has finished once the
    // update thread has ended (the exit recorder lets the program go on).
    void start(const QString &version, const QString &download_url, const QJsonObject &record_extra = QJsonObject());
    bool finished() const;
    QString file(const QString &name) const;  // in the working folder

    WindowHarness &harness;
    QTemporaryDir work;
    QString previous_dir;
    QStringList boxes;
    bool thread_running_at_info_box = false;
    std::unique_ptr<LabelHistory> history;
};
