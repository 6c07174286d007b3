#include "app/mainwindow.h"

#include "app/config.h"
#include "app/modal.h"
#include "app/style_sheets.h"
#include "cards/card_area.h"
#include "download/download_list_dialog.h"
#include "download/download_manager.h"
#include "gamedir/settings_store.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

MainWindow::MainWindow()
    : QMainWindow(nullptr)
    , _card_area(new CardArea(this))
    , all_skin_widgets(_card_area->cards())
{
    settings = open_settings_store(this);
    _setup_api_urls();
    init_ui();
    _load_settings();
    load_categories();
    QTimer::singleShot(1000, this, &MainWindow::_silent_check_update);
}

MainWindow::~MainWindow() = default;

bool MainWindow::_is_gui_thread() const
{
    return QThread::currentThread() == thread();
}

void MainWindow::show_message(const QString &title, const QString &message, const QString &message_type)
{
    Q_ASSERT(_is_gui_thread());
    Q_UNUSED(message_type)  // every kind looks the same: no icon
    QMessageBox box(this);
    box.setWindowTitle(title);
    box.setText(message);
    box.setStyleSheet(style::message_box);
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    run_modal(box);
}

QString MainWindow::get_icon_path() const
{
    return app_icon_path();
}

void MainWindow::_show_download_queue(bool)
{
    Q_ASSERT(_is_gui_thread());
    DownloadListDialog dialog(this);
    run_modal(dialog);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    Q_ASSERT(_is_gui_thread());
    DownloadManager *manager = DownloadManager::instance();
    if (manager->has_active_tasks()) {
        QMessageBox question(QMessageBox::Question, QStringLiteral("确认关闭"),
                             QStringLiteral("有正在下载的任务，确定要关闭软件吗？"), QMessageBox::Yes | QMessageBox::No,
                             this);
        question.setDefaultButton(QMessageBox::No);
        if (run_modal(question) != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        // Stop the running and the waiting tasks: no transfer may outlive the window.
        manager->cancel_all();
    }
    _cleanup_temp_files();
    event->accept();
}
