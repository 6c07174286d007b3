#include "app/config.h"
#include "app/http_session.h"
#include "app/logging.h"
#include "app/mainwindow.h"
#include "app/modal.h"
#include "app/process_values.h"
#include "app/single_instance.h"
#include "update/program_name.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QSettings>
#include <QThread>

namespace {
// The update script starts the new program, waits 3 s and then deletes the old one.
constexpr int kUpdateScriptDoneMs = 6000;
}  // namespace

int main(int argc, char *argv[])
{
    const QDeadlineTimer update_script_done(kUpdateScriptDoneMs);
    init_process_values();
    install_log_handler();
    HttpSession::global_init();
    QApplication app(argc, argv);
    SingleInstance instance(QDir(CACHE_DIR).filePath(QStringLiteral("zorbel-skins.lock")));
    if (!instance.claim())
        return 0;
    MainWindow window;
    QObject::connect(&instance, &SingleInstance::activation_requested, &window, [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    window.show();
    const int code = app.exec();
    // A self-update cannot be stopped halfway; end without tearing down its running thread.
    if (window.update_thread && window.update_thread->isRunning()) {
        window.settings->sync();
        exit_process(code);
    }
    const Outcome<void> renamed = reclaim_program_name(QCoreApplication::applicationFilePath(), update_script_done);
    if (!renamed.ok())
        log_warning(QStringLiteral("无法恢复程序文件名: ") + renamed.error);
    return code;
}
