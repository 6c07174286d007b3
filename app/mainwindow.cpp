#include "app/mainwindow.h"

#include "app/modal.h"
#include "download/download_list_dialog.h"
#include "download/download_manager.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

namespace {
const QString kMessageBoxStyle = QStringLiteral(
    "QMessageBox { background-color: #2b2b2b; color: #ffffff; border: 1px solid #555555;"
    " border-radius: 12px; font: 13px 'Microsoft YaHei'; }"
    "QMessageBox QLabel { color: #ffffff; font: 13px 'Microsoft YaHei'; min-width: 350px;"
    " max-width: 450px; padding: 20px; qproperty-alignment: AlignCenter; line-height: 1.5; }"
    "QPushButton { background-color: #4CAF50; color: white; border: none; border-radius: 8px;"
    " font: 500 14px 'Microsoft YaHei'; padding: 10px 25px; min-width: 100px; margin: 5px; }"
    "QPushButton:hover { background-color: #45a049; border: 1px solid #4CAF50; }"
    "QPushButton:pressed { background-color: #3d8b40; border: 1px solid #45a049; }"
    "QDialogButtonBox { qproperty-centerButtons: true; }");
} // namespace

MainWindow::MainWindow()
    : QMainWindow(nullptr)
{
    settings = new QSettings(QStringLiteral("qvmod"), QStringLiteral("DreadHunger"), this);
    _setup_api_urls();
    init_ui();
    _load_settings();
    load_categories();
    QTimer::singleShot(1000, this, &MainWindow::_silent_check_update);
}

MainWindow::~MainWindow() = default;

void MainWindow::show_message(const QString &title, const QString &message, const QString &message_type)
{
    Q_UNUSED(message_type)  // every kind looks the same: no icon
    QMessageBox box(this);
    box.setWindowTitle(title);
    box.setText(message);
    box.setStyleSheet(kMessageBoxStyle);
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    run_modal(box);
}

QString MainWindow::get_icon_path() const
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("app.ico"));
}

void MainWindow::_show_download_queue(bool)
{
    DownloadListDialog dialog(this);
    run_modal(dialog);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    DownloadManager *manager = DownloadManager::instance();
    if (manager->has_active_tasks()) {
        QMessageBox question(QMessageBox::Question, QStringLiteral("确认关闭"),
                             QStringLiteral("有正在下载的任务，确定要关闭软件吗？"),
                             QMessageBox::Yes | QMessageBox::No, this);
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
