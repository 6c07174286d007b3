#include "app/config.h"
#include "app/http_session.h"
#include "app/logging.h"
#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    init_process_values();
    install_log_handler();
    HttpSession::global_init();
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    return app.exec();
}
