#pragma once
// The modal "下载队列" window: the running task with its percentage, the waiting tasks,
// counters, and buttons to cancel one task or clear the queue. It keeps no queue data
// of its own and rebuilds the list from DownloadManager once a second.

#include "download/download_manager.h"

#include <QDialog>

class QLabel;
class QScrollArea;
class QTimer;
class QVBoxLayout;

class DownloadListDialog : public QDialog {
    Q_OBJECT
public:
    explicit DownloadListDialog(QWidget *parent = nullptr);

    QLabel *stats_label = nullptr;
    QScrollArea *scroll_area = nullptr;
    QWidget *scroll_widget = nullptr;
    QVBoxLayout *scroll_layout = nullptr;
    QTimer *timer = nullptr;

    void update_list();
    QWidget *_create_downloading_task_card(const DownloadTask &task);
    QWidget *_create_waiting_task_card(const DownloadTask &task, int position);
    QWidget *_create_empty_state();
    void _cancel_task(const QString &skin_id);
    void _clear_all_tasks(bool checked = false);
    void show_message(const QString &title, const QString &message, const QString &icon_type);
};
