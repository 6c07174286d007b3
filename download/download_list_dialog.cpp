#include "download/download_list_dialog.h"

#include "app/modal.h"
#include "app/style_sheets.h"
#include "widgets/flow_layout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QLabel *styled_label(const QString &text, const QString &style, int minimum_width = 0)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);  // skin names come from the server
    label->setStyleSheet(style);
    if (minimum_width > 0)
        label->setMinimumWidth(minimum_width);
    return label;
}

struct CardLook {
    QString status_text;
    QString status_style;
    QString right_text;
    QString right_style;
    int right_minimum_width;
    QString button_style;
};

// Both kinds of card share one frame; only texts and colours differ.
QWidget *make_task_card(const DownloadTask &task, const CardLook &look, DownloadListDialog *dialog)
{
    auto *card = new QWidget;
    card->setObjectName(QStringLiteral("task_card"));
    card->setAttribute(Qt::WA_StyledBackground, true);
    card->setStyleSheet(style::queue_task_card);
    auto *layout = new QHBoxLayout(card);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(15);

    const QString name = task_skin_name(task);
    layout->addWidget(styled_label(look.status_text, look.status_style, 50));
    layout->addWidget(styled_label(name, style::queue_task_name));
    layout->addStretch();
    layout->addWidget(styled_label(look.right_text, look.right_style, look.right_minimum_width));

    auto *cancel = new QPushButton(QStringLiteral("取消下载"));
    cancel->setFixedSize(80, 28);
    cancel->setStyleSheet(look.button_style);
    const QString skin_id = task_skin_id(task);
    QObject::connect(cancel, &QPushButton::clicked, dialog, [dialog, skin_id] { dialog->_cancel_task(skin_id); });
    layout->addWidget(cancel);
    return card;
}

}  // namespace

DownloadListDialog::DownloadListDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("下载队列"));
    if (parent)
        setWindowIcon(parent->windowIcon());
    setFixedSize(500, 400);
    setStyleSheet(style::queue_dialog);

    auto *main_layout = new QVBoxLayout;
    main_layout->setContentsMargins(15, 15, 15, 15);
    main_layout->setSpacing(10);

    auto *header = new QHBoxLayout;
    header->addWidget(styled_label(QStringLiteral("📥 下载队列"), style::queue_title));
    header->addStretch();
    stats_label = styled_label(QStringLiteral("队列: 0 | 下载中: 0 | 等待: 0"), style::queue_stats);
    header->addWidget(stats_label);
    main_layout->addLayout(header);

    scroll_area = new QScrollArea;
    scroll_area->setFrameShape(QFrame::NoFrame);
    scroll_widget = new QWidget;
    scroll_layout = new QVBoxLayout(scroll_widget);
    scroll_layout->setContentsMargins(5, 5, 5, 5);
    scroll_layout->setSpacing(8);
    scroll_area->setWidget(scroll_widget);
    scroll_area->setWidgetResizable(true);
    main_layout->addWidget(scroll_area);

    auto *buttons = new QHBoxLayout;
    auto *clear_button = new QPushButton(QStringLiteral("清空队列"));
    clear_button->setStyleSheet(style::queue_clear_button);
    connect(clear_button, &QPushButton::clicked, this, &DownloadListDialog::_clear_all_tasks);
    buttons->addWidget(clear_button);
    buttons->addStretch();
    auto *close_button = new QPushButton(QStringLiteral("关闭"));
    close_button->setStyleSheet(style::queue_close_button);
    connect(close_button, &QPushButton::clicked, this, &QDialog::close);
    buttons->addWidget(close_button);
    main_layout->addLayout(buttons);

    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &DownloadListDialog::update_list);
    timer->start(1000);

    setLayout(main_layout);
}

void DownloadListDialog::update_list()
{
    clear_layout(scroll_layout);

    DownloadManager *manager = DownloadManager::instance();
    const DownloadTask current = manager->get_current_task();
    const QVector<DownloadTask> queue = manager->get_queue();
    const int running = current ? 1 : 0;
    stats_label->setText(
        QStringLiteral("队列: %1 | 下载中: %2 | 等待: %3").arg(queue.size() + running).arg(running).arg(queue.size()));

    if (current)
        scroll_layout->addWidget(_create_downloading_task_card(current));
    if (!queue.isEmpty()) {
        scroll_layout->addWidget(styled_label(QStringLiteral("⏳ 等待下载"), style::queue_waiting_heading));
        for (int i = 0; i < queue.size(); ++i)
            scroll_layout->addWidget(_create_waiting_task_card(queue.at(i), i + 1));
    }
    if (!current && queue.isEmpty())
        scroll_layout->addWidget(_create_empty_state());
    scroll_layout->addStretch();
}

QWidget *DownloadListDialog::_create_downloading_task_card(const DownloadTask &task)
{
    CardLook look;
    look.status_text = QStringLiteral("下载中");
    look.status_style = style::queue_running_status;
    look.right_text = QString::number(DownloadManager::instance()->get_current_progress()) + QLatin1Char('%');
    look.right_style = style::queue_running_progress;
    look.right_minimum_width = 40;
    look.button_style = style::queue_running_cancel;
    return make_task_card(task, look, this);
}

QWidget *DownloadListDialog::_create_waiting_task_card(const DownloadTask &task, int position)
{
    Q_UNUSED(position)  // the order of the cards shows it
    CardLook look;
    look.status_text = QStringLiteral("等待下载");
    look.status_style = style::queue_waiting_status;
    look.right_text = QStringLiteral("等待下载");
    look.right_style = style::queue_waiting_note;
    look.right_minimum_width = 60;
    look.button_style = style::queue_waiting_cancel;
    return make_task_card(task, look, this);
}

QWidget *DownloadListDialog::_create_empty_state()
{
    auto *empty = new QWidget;
    empty->setObjectName(QStringLiteral("empty_state"));
    empty->setStyleSheet(style::queue_empty_state);
    auto *layout = new QVBoxLayout(empty);
    layout->setAlignment(Qt::AlignCenter);
    layout->setSpacing(16);
    const QList<QLabel *> lines = {
        styled_label(QStringLiteral("皮肤队列为空"), style::queue_empty_title),
        styled_label(QStringLiteral("添加皮肤到下载队列开始下载"), style::queue_empty_line),
        styled_label(QStringLiteral("在主界面点击皮肤卡片上的'安装'按钮添加下载"), style::queue_empty_hint),
    };
    for (QLabel *line : lines) {
        line->setAlignment(Qt::AlignCenter);
        layout->addWidget(line, 0, Qt::AlignCenter);
    }
    return empty;
}

void DownloadListDialog::_cancel_task(const QString &skin_id)
{
    if (DownloadManager::instance()->cancel_task(skin_id))
        update_list();
    else
        show_message(QStringLiteral("提示"), QStringLiteral("该任务不在下载队列中"), QStringLiteral("info"));
}

void DownloadListDialog::_clear_all_tasks(bool)
{
    DownloadManager *manager = DownloadManager::instance();
    const QVector<DownloadTask> queue = manager->get_queue();
    const DownloadTask current = manager->get_current_task();
    if (queue.isEmpty() && !current) {
        show_message(QStringLiteral("提示"), QStringLiteral("下载队列已为空"), QStringLiteral("info"));
        return;
    }
    if (current)
        manager->cancel_task(task_skin_id(current));
    // Each waiting task becomes the running one as its predecessor is cancelled.
    for (const DownloadTask &task : queue)
        manager->cancel_task(task_skin_id(task));
    update_list();
    show_message(QStringLiteral("操作成功"), QStringLiteral("已清空下载队列"), QStringLiteral("info"));
}

void DownloadListDialog::show_message(const QString &title, const QString &message, const QString &icon_type)
{
    QMessageBox box(this);
    box.setWindowTitle(title);
    box.setText(message);
    if (icon_type == QLatin1String("info"))
        box.setIcon(QMessageBox::Information);
    else if (icon_type == QLatin1String("warning"))
        box.setIcon(QMessageBox::Warning);
    else if (icon_type == QLatin1String("critical"))
        box.setIcon(QMessageBox::Critical);
    run_modal(box);
}
