#include "app/config.h"
#include "app/http_session.h"
#include "app/logging.h"
#include "app/mainwindow.h"
#include "app/modal.h"

#include <QApplication>
#include <QSettings>
#include <QThread>

int main(int argc, char *argv[])
{
    init_process_values();
    install_log_handler();
    HttpSession::global_init();
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    const int code = app.exec();
    // A self-update cannot be stopped halfway; end without tearing down its running thread.
    if (window.update_thread && window.update_thread->isRunning()) {
        window.settings->sync();
        exit_process(code);
    }
    return code;
}
