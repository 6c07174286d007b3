#include "support/update_run.h"

#include "app/mainwindow.h"
#include "app/modal.h"
#include "update/script_start.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMutex>
#include <QThread>

namespace {
QMutex recorded_mutex;  // the update thread records, the case reads
QStringList recorded;
}  // namespace

QString script_path()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("update.bat"));
}

QStringList recorded_script_starts()
{
    QMutexLocker lock(&recorded_mutex);
    return recorded;
}

LabelHistory::LabelHistory(MainWindow *window)
    : window(window)
{
    if (!window->dir_label)
        window->dir_label = new QLabel(window);
    window->installEventFilter(this);
}

bool LabelHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MetaCall || handling)
        return false;
    handling = true;
    watched->event(event);
    handling = false;
    const QString text = window->dir_label->text();
    if (texts.isEmpty() || texts.last() != text)
        texts.append(text);
    return true;
}

UpdateRun::UpdateRun(WindowHarness &harness)
    : harness(harness)
    , work(QDir::tempPath() + QStringLiteral("/update flow XXXXXX"))
    , previous_dir(QDir::currentPath())
{
    QDir::setCurrent(work.path());
    set_script_starter([](const QString &script, const QString &) {
        QMutexLocker lock(&recorded_mutex);
        recorded.append(script);
    });
}

UpdateRun::~UpdateRun()
{
    history.reset();
    harness.window.reset();
    set_script_starter(nullptr);
    QDir::setCurrent(previous_dir);
}

void UpdateRun::start(const QString &version, const QString &download_url, const QJsonObject &record_extra)
{
    harness.server->set_version(version, download_url, record_extra);
    MainWindow &window = harness.open_window();
    history = std::make_unique<LabelHistory>(&window);
    set_modal_runner([this, &window](QDialog &dialog) {
        const QString text = static_cast<QMessageBox &>(dialog).text();
        if (text.startsWith(QStringLiteral("发现新版本")))
            thread_running_at_info_box = window.update_thread && window.update_thread->isRunning();
        boxes.append(text);
        return int(QMessageBox::Ok);
    });
}

bool UpdateRun::finished() const
{
    return !harness.boxes->exit_codes.isEmpty() && harness.window && !harness.window->update_thread;
}

QString UpdateRun::file(const QString &name) const
{
    return QDir(work.path()).filePath(name);
}
