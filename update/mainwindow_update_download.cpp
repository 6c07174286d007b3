// The transfer of the new program file on the update thread: a QNetworkAccessManager made
// there, its reply's handlers run from the wait loop's event processing, so the reply, the
// file and the flags are used by that thread alone.

#include "app/mainwindow.h"

#include "app/logging.h"
#include "update/update_download.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>

namespace {

constexpr double kDownloadLimitSeconds = 300;
constexpr double kProgressIntervalSeconds = 0.1;

double wall_seconds()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000;
}

}  // namespace

bool MainWindow::_download_new_version(const QString &download_url, const QString &save_path)
{
    // Whatever happens, the transfer objects do not outlive the call.
    const auto release = [this] {
        if (download_file && download_file->isOpen())
            download_file->close();
        delete download_manager;  // takes its reply along
        download_manager = nullptr;
        download_reply = nullptr;
        delete download_file;
        download_file = nullptr;
    };
    download_manager = new QNetworkAccessManager;
    download_reply = nullptr;
    download_file = nullptr;
    last_update = 0;
    download_success = false;
    download_completed = false;

    download_file = new QFile(save_path);
    if (!download_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        log_error(QStringLiteral("下载新版本失败: ") + shown_path(save_path) + QStringLiteral(": ")
                  + download_file->errorString());
        release();
        return false;
    }
    download_reply = download_manager->get(update_download_request(download_url));
    // The handlers run here, on this thread, from the event processing below.
    connect(download_reply, &QNetworkReply::downloadProgress, this, &MainWindow::_on_download_progress,
            Qt::DirectConnection);
    connect(download_reply, &QNetworkReply::readyRead, this, &MainWindow::_on_ready_read, Qt::DirectConnection);
    connect(download_reply, &QNetworkReply::finished, this, &MainWindow::_on_download_finished, Qt::DirectConnection);

    const double start_time = wall_seconds();
    while (!download_completed) {
        QCoreApplication::processEvents();
        if (wall_seconds() - start_time > kDownloadLimitSeconds) {
            log_error(QStringLiteral("下载超时"));
            if (download_reply)
                download_reply->abort();
            release();
            return false;
        }
        QThread::msleep(10);
    }
    const bool success = download_success;
    release();
    return success;
}

void MainWindow::_on_download_progress(qint64 bytes_received, qint64 bytes_total)
{
    if (bytes_total <= 0)
        return;
    const double now = wall_seconds();
    if (now - last_update >= kProgressIntervalSeconds || bytes_received == bytes_total) {
        _show_update_progress(download_progress_text(bytes_received, bytes_total));
        last_update = now;
    }
}

void MainWindow::_on_ready_read()
{
    if (!download_reply || !download_file)
        return;
    const QByteArray data = download_reply->readAll();
    if (download_file->write(data) != data.size()) {
        // A short write (disk full) must not pass for a complete program file.
        log_error(QStringLiteral("写入更新文件失败: ") + download_file->errorString());
        download_reply->abort();
    }
}

void MainWindow::_on_download_finished()
{
    if (download_reply && download_reply->error() == QNetworkReply::NoError) {
        const bool flushed = !download_file || !download_file->isOpen() || download_file->flush();
        const QString flush_error = download_file ? download_file->errorString() : QString();
        if (download_file && download_file->isOpen())
            download_file->close();
        if (flushed) {
            download_success = true;
            _show_update_progress(QStringLiteral("下载完成"));
            log_info(QStringLiteral("下载完成"));
        } else {
            log_error(QStringLiteral("下载失败: ") + flush_error);
            download_success = false;
        }
    } else {
        const QString error_msg = download_reply ? download_reply->errorString() : QStringLiteral("no reply");
        log_error(QStringLiteral("下载失败: ") + error_msg);
        if (download_file && download_file->isOpen())
            download_file->close();
        download_success = false;
    }
    if (download_reply) {
        download_reply->deleteLater();
        download_reply = nullptr;
    }
    download_completed = true;
}
