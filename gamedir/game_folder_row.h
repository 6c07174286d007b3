#pragma once
// The row above the category rows: "皮肤目录：", the status line and the buttons "检测目录",
// "打开皮肤目录" and "下载队列". The status line is written only through the show_ calls
// below, so each of its marks is spelled in one place; it shows plain text, since folder
// names come from the disk and update texts from the server. The buttons only report what
// the user asked for. GUI thread only.

#include <QWidget>

class QLabel;

class GameFolderRow : public QWidget {
    Q_OBJECT
public:
    explicit GameFolderRow(QWidget *parent = nullptr);

    // For reading; the window exposes it under its own name.
    QLabel *status_label() const { return _status; }

    // The text of a start without a known folder: how to find one.
    void show_detect_hint();
    void show_success(const QString &text);   // "✓ " + text
    void show_failure(const QString &text);   // "✗ " + text
    void show_download(const QString &text);  // "📥 " + text, the self-update's progress

signals:
    void detect_requested();
    void open_folder_requested();
    void queue_requested();

private:
    QLabel *_status;
};
