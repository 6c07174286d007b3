// The mandatory version check and the self-update: the procedure on the update thread
// (its transfer in mainwindow_update_download.cpp), then the swap script and the end of
// the process.

#include "app/mainwindow.h"

#include "app/endpoints.h"
#include "app/logging.h"
#include "app/modal.h"
#include "download/download_manager.h"
#include "gamedir/game_folder_row.h"
#include "update/script_start.h"
#include "update/update_integrity.h"
#include "update/update_script.h"
#include "update/update_worker.h"
#include "update/version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryFile>
#include <QThread>

#include <functional>

namespace {

// Runs `call` on the window's (GUI) thread and returns when it is done.
void on_gui_thread(MainWindow *window, const std::function<void()> &call)
{
    if (window->_is_gui_thread())
        call();
    else
        QMetaObject::invokeMethod(window, call, Qt::BlockingQueuedConnection);
}

// Ends the process from the GUI thread, as the window's close would: a skin file that is
// being moved into the mod folder is moved to the end first, so no install is left half done.
void end_process(int code)
{
    DownloadManager::instance()->cancel_all();
    exit_process(code);
}

// Removes a download that did not pass; logged when it cannot be removed.
void discard(const QString &path)
{
    if (QFileInfo::exists(path) && !QFile::remove(path))
        log_error(QStringLiteral("无法删除未通过的更新文件: ") + shown_path(path));
}

struct UpdateOffer {
    QString download_url;
    QString new_exe;  // the name the file takes in the working folder
    UpdateIntegrity integrity;
};

// What the version record offers, refused before anything is downloaded when it cannot be
// taken. A failure is the message the program ends with; where that does not say why, the
// reason is logged first.
Outcome<UpdateOffer> read_update_offer(const QJsonObject &info)
{
    const Outcome<QString> download_url = read_text_value(info, DOWNLOAD_URL_KEY);
    if (!download_url.ok())
        return Failure{QStringLiteral("更新过程出错: ") + download_url.error};
    if (download_url->isEmpty())
        return Failure{QStringLiteral("服务器响应错误")};
    // The name is used relative to the working folder, which is the program's: only a plain
    // program name that the installation does not use itself is taken.
    const QString new_exe = last_url_segment(*download_url);
    if (!is_update_file_name(new_exe)) {
        log_error(QStringLiteral("下载新版本失败: 下载地址的文件名不可用: \"") + new_exe + QStringLiteral("\""));
        return Failure{QStringLiteral("下载更新文件失败")};
    }
    // A record that cannot vouch for the file as this build demands is refused.
    const Outcome<UpdateIntegrity> integrity = read_update_integrity(info, new_exe, update_public_key());
    if (!integrity.ok()) {
        log_error(QStringLiteral("更新文件校验失败: ") + integrity.error);
        return Failure{QStringLiteral("下载更新文件失败")};
    }
    if (update_public_key().isEmpty())
        log_warning(QStringLiteral("此版本未内置更新公钥，更新文件未经签名验证: ") + new_exe);
    return UpdateOffer{*download_url, new_exe, *integrity};
}

// A fresh, unused name in the working folder for the file while it downloads; never a
// name that the shortcuts, the script or the program would take for a program.
Outcome<QString> reserve_download_name()
{
    QTemporaryFile file(QStringLiteral("zorbel-update-XXXXXX.part"));
    file.setAutoRemove(false);
    if (!file.open())
        return Failure{file.errorString()};
    return QFileInfo(file.fileName()).absoluteFilePath();
}

// Removes an old file of the offered name and reserves the download's own name. A failure
// is the message the program ends with; where that does not say why, the reason is logged.
Outcome<QString> make_room_for_download(const QString &new_exe)
{
    if (QFileInfo::exists(new_exe)) {
        QFile existing(new_exe);
        if (!existing.remove())
            return Failure{QStringLiteral("更新过程出错: 无法删除已有的 ") + new_exe + QStringLiteral(": ")
                           + existing.errorString()};
    }
    const Outcome<QString> reserved = reserve_download_name();
    if (!reserved.ok()) {
        log_error(QStringLiteral("下载新版本失败: ") + reserved.error);
        return Failure{QStringLiteral("下载更新文件失败")};
    }
    return reserved;
}

}  // namespace

void MainWindow::_silent_check_update()
{
    Q_ASSERT(_is_gui_thread());
    const std::optional<QJsonObject> info = _get_latest_info();
    if (!info) {
        _force_close_program(QStringLiteral("检查更新失败，请重启软件重试"));
        return;
    }
    const Outcome<QString> latest_version = read_text_value(*info, VERSION_KEY);
    if (!latest_version.ok()) {
        _force_close_program(QStringLiteral("检查更新异常: ") + latest_version.error);
        return;
    }
    if (!latest_version->isEmpty() && is_newer_version(*latest_version)) {
        // The download runs while the box is open; closing it changes nothing.
        _start_update_thread(*info);
        QMessageBox box(QMessageBox::Information, QStringLiteral("发现新版本"),
                        QStringLiteral("发现新版本 ") + *latest_version + QStringLiteral("，正在自动更新..."),
                        QMessageBox::Ok, this);
        run_modal(box);
        return;
    }
    log_info(QStringLiteral("当前已是最新版本"));
}

std::optional<QJsonObject> MainWindow::_get_latest_info()
{
    const LatestInfo latest = fetch_latest_info(get_secure_url(SERVER_URL));
    if (!latest.ok()) {
        _force_close_program(latest.error);
        return std::nullopt;
    }
    return latest.value;
}

void MainWindow::_start_update_thread(const QJsonObject &info)
{
    Q_ASSERT(_is_gui_thread());
    update_thread = new QThread;
    update_worker = new UpdateWorker(info, this);
    update_worker->moveToThread(update_thread);
    connect(update_worker, &UpdateWorker::update_progress, this, &MainWindow::_show_update_progress);
    connect(update_worker, &UpdateWorker::update_finished, this, &MainWindow::_on_update_finished);
    connect(update_worker, &UpdateWorker::update_error, this, &MainWindow::_on_update_error);
    connect(update_thread, &QThread::started, update_worker, &UpdateWorker::run);
    connect(update_worker, &UpdateWorker::update_finished, update_thread, &QThread::quit);
    connect(update_worker, &UpdateWorker::update_error, update_thread, &QThread::quit);
    connect(update_thread, &QThread::finished, update_thread, &QObject::deleteLater);
    // The worker goes with its thread, and the window forgets both.
    connect(update_thread, &QThread::finished, update_worker, &QObject::deleteLater);
    connect(update_thread, &QThread::finished, this, [this] {
        update_thread = nullptr;
        update_worker = nullptr;
    });
    update_thread->start();
}

void MainWindow::_on_update_finished()
{
    Q_ASSERT(_is_gui_thread());
    log_info(QStringLiteral("更新完成"));
}

void MainWindow::_on_update_error(const QString &error_msg)
{
    Q_ASSERT(_is_gui_thread());
    _force_close_program(error_msg);
}

void MainWindow::_force_close_program(const QString &message)
{
    if (!_is_gui_thread()) {
        // The box belongs to the GUI thread; the calling thread waits there and then
        // does nothing further.
        on_gui_thread(this, [this, message] { _force_close_program(message); });
        return;
    }
    if (settings)
        settings->sync();
    show_message(QStringLiteral("程序错误"), message, QStringLiteral("critical"));
    end_process(1);
}

void MainWindow::_start_update_process(const QJsonObject &info)
{
    const Outcome<UpdateOffer> offer = read_update_offer(info);
    if (!offer.ok()) {
        _force_close_program(offer.error);
        return;
    }
    const QString &download_url = offer->download_url;
    const QString &new_exe = offer->new_exe;
    const Outcome<QString> reserved = make_room_for_download(new_exe);
    if (!reserved.ok()) {
        _force_close_program(reserved.error);
        return;
    }
    const QString &part_path = reserved.value;
    // The fatal exit ends the process from the GUI thread, so the file goes before it does.
    const auto fail = [this, &part_path](const QString &log_text) {
        if (!log_text.isEmpty())
            log_error(log_text);
        discard(part_path);
        _force_close_program(QStringLiteral("下载更新文件失败"));
    };
    _show_update_progress(QStringLiteral("开始下载更新文件..."));
    if (!_download_new_version(download_url, part_path))
        return fail(QString());
    const Outcome<void> checked = check_update_file(part_path, offer->integrity);
    if (!checked.ok())
        return fail(QStringLiteral("更新文件校验失败: ") + checked.error);
    // Only a file that passed every check takes the name anything would start.
    if (!QDir().rename(part_path, new_exe))
        return fail(QStringLiteral("下载新版本失败: 无法命名为 ") + new_exe);
    _show_update_progress(QStringLiteral("下载完成，准备安装更新..."));
    if (!_update_exe(new_exe))
        _force_close_program(QStringLiteral("自动更新安装失败"));
}

bool MainWindow::_update_exe(const QString &new_exe)
{
    // The module's own path: the first word of the command line is whatever the caller
    // chose, and it would pick what the script kills and deletes.
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString new_exe_path = QDir::toNativeSeparators(QFileInfo(new_exe).absoluteFilePath());
    const QString exe_path = QDir::toNativeSeparators(exe.absoluteFilePath());
    const QString program_dir = exe.absolutePath();
    const QString bat_path = QDir::toNativeSeparators(QDir(program_dir).filePath(QStringLiteral("update.bat")));

    const Outcome<void> written = write_update_script(exe_path, new_exe_path, bat_path);
    if (!written.ok()) {
        log_error(QStringLiteral("更新exe失败: ") + written.error);
        return false;
    }
    start_update_script(bat_path, program_dir);
    on_gui_thread(this, [] { end_process(0); });
    return true;
}

void MainWindow::_show_update_progress(const QString &message)
{
    if (!_is_gui_thread()) {
        // Widgets belong to the GUI thread: the text is shown from there, in the order sent.
        QMetaObject::invokeMethod(
            this, [this, message] { _show_update_progress(message); }, Qt::QueuedConnection);
        return;
    }
    if (_folder_row)
        _folder_row->show_download(message);
}
