#pragma once
// Pieces of the new program's download that need no window.

#include <QNetworkRequest>
#include <QString>

// "更新中，下载进度: 1.5MB/12.0MB" (MiB, one decimal).
QString download_progress_text(qint64 bytes_received, qint64 bytes_total);

// The request for the new program file. Redirects are followed (never from HTTPS down to
// HTTP): an unfollowed redirect would leave its small body in place of the program.
// Certificates of extra_ca_file() are trusted besides the system's.
QNetworkRequest update_download_request(const QString &download_url);
