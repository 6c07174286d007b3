#include "download/download_list_dialog.h"

#include "app/modal.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kDialogStyle = QStringLiteral(
    "QDialog { background-color: #f8fafc; font-family: 'Microsoft YaHei'; }"
    "QScrollArea { border: none; background-color: transparent; }"
    "QScrollBar:vertical { background: #e2e8f0; width: 10px; border-radius: 5px; }"
    "QScrollBar::handle:vertical { background: #cbd5e1; border-radius: 5px; min-height: 20px; }"
    "QScrollBar::handle:vertical:hover { background: #94a3b8; }");

const QString kClearButtonStyle = QStringLiteral(
    "QPushButton { background-color: #ef4444; color: white; border: none; border-radius: 6px;"
    " padding: 8px 16px; font-weight: 500; font-size: 13px; }"
    "QPushButton:hover { background-color: #dc2626; }"
    "QPushButton:pressed { background-color: #b91c1c; }"
    "QPushButton:disabled { background-color: #fca5a5; color: #f8fafc; }");

const QString kCloseButtonStyle = QStringLiteral(
    "QPushButton { background-color: #6b7280; color: white; border: none; border-radius: 6px;"
    " padding: 8px 16px; font-weight: 500; font-size: 13px; }"
    "QPushButton:hover { background-color: #4b5563; }"
    "QPushButton:pressed { background-color: #374151; }");

const QString kCardStyle = QStringLiteral(
    "QWidget#task_card { background-color: white; border: 1px solid #e2e8f0; border-radius: 8px;"
    " padding: 12px; }");

QString card_button_style(const char *normal, const char *hover, const char *pressed)
{
    return QStringLiteral("QPushButton { background-color: %1; color: white; border: none; border-radius: 4px;"
                          " padding: 6px 12px; font-weight: 500; font-size: 12px; }"
                          "QPushButton:hover { background-color: %2; }"
                          "QPushButton:pressed { background-color: %3; }")
        .arg(QLatin1String(normal), QLatin1String(hover), QLatin1String(pressed));
}

QLabel *styled_label(const QString &text, const QString &style, int minimum_width = 0)
{
    auto *label = new QLabel(text);
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
    card->setStyleSheet(kCardStyle);
    auto *layout = new QHBoxLayout(card);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(15);

    const QString name = task_skin_name(task);
    layout->addWidget(styled_label(look.status_text, look.status_style, 50));
    layout->addWidget(styled_label(name, QStringLiteral("font-weight: bold; font-size: 14px; color: #1e293b;")));
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

} // namespace

DownloadListDialog::DownloadListDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("下载队列"));
    if (parent)
        setWindowIcon(parent->windowIcon());
    setFixedSize(500, 400);
    setStyleSheet(kDialogStyle);

    auto *main_layout = new QVBoxLayout;
    main_layout->setContentsMargins(15, 15, 15, 15);
    main_layout->setSpacing(10);

    auto *header = new QHBoxLayout;
    header->addWidget(styled_label(QStringLiteral("📥 下载队列"),
                                   QStringLiteral("font-weight: bold; font-size: 18px; color: #1e293b; padding: 5px 0;")));
    header->addStretch();
    stats_label = styled_label(QStringLiteral("队列: 0 | 下载中: 0 | 等待: 0"),
                               QStringLiteral("font-size: 12px; color: #64748b; padding: 5px 10px;"
                                              " background-color: #f1f5f9; border-radius: 12px;"));
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
    clear_button->setStyleSheet(kClearButtonStyle);
    connect(clear_button, &QPushButton::clicked, this, &DownloadListDialog::_clear_all_tasks);
    buttons->addWidget(clear_button);
    buttons->addStretch();
    auto *close_button = new QPushButton(QStringLiteral("关闭"));
    close_button->setStyleSheet(kCloseButtonStyle);
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
    for (int i = scroll_layout->count() - 1; i >= 0; --i) {
        QLayoutItem *item = scroll_layout->takeAt(i);
        if (QWidget *widget = item->widget()) {
            widget->hide();  // gone from view now, deleted once control returns to the loop
            widget->deleteLater();
        }
        delete item;
    }

    DownloadManager *manager = DownloadManager::instance();
    const DownloadTask current = manager->get_current_task();
    const QVector<DownloadTask> queue = manager->get_queue();
    const int running = current ? 1 : 0;
    stats_label->setText(QStringLiteral("队列: %1 | 下载中: %2 | 等待: %3")
                             .arg(queue.size() + running)
                             .arg(running)
                             .arg(queue.size()));

    if (current)
        scroll_layout->addWidget(_create_downloading_task_card(current));
    if (!queue.isEmpty()) {
        scroll_layout->addWidget(styled_label(
            QStringLiteral("⏳ 等待下载"),
            QStringLiteral("font-weight: bold; font-size: 14px; color: #475569; padding: 8px 0; margin-top: 10px;")));
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
    look.status_style = QStringLiteral("font-weight: bold; font-size: 12px; color: #0ea5e9;");
    look.right_text = QString::number(DownloadManager::instance()->get_current_progress()) + QLatin1Char('%');
    look.right_style = QStringLiteral("font-weight: bold; font-size: 13px; color: #0ea5e9;");
    look.right_minimum_width = 40;
    look.button_style = card_button_style("#ef4444", "#dc2626", "#b91c1c");
    return make_task_card(task, look, this);
}

QWidget *DownloadListDialog::_create_waiting_task_card(const DownloadTask &task, int position)
{
    Q_UNUSED(position)  // the order of the cards shows it
    CardLook look;
    look.status_text = QStringLiteral("等待下载");
    look.status_style = QStringLiteral("font-weight: bold; font-size: 12px; color: #64748b;");
    look.right_text = QStringLiteral("等待下载");
    look.right_style = QStringLiteral("font-size: 13px; color: #64748b;");
    look.right_minimum_width = 60;
    look.button_style = card_button_style("#94a3b8", "#64748b", "#475569");
    return make_task_card(task, look, this);
}

QWidget *DownloadListDialog::_create_empty_state()
{
    auto *empty = new QWidget;
    empty->setObjectName(QStringLiteral("empty_state"));
    empty->setStyleSheet(QStringLiteral("QWidget#empty_state { background: transparent; }"));
    auto *layout = new QVBoxLayout(empty);
    layout->setAlignment(Qt::AlignCenter);
    layout->setSpacing(16);
    const QList<QLabel *> lines = {
        styled_label(QStringLiteral("皮肤队列为空"),
                     QStringLiteral("font-weight: bold; font-size: 18px; color: #475569; margin-top: 8px;")),
        styled_label(QStringLiteral("添加皮肤到下载队列开始下载"),
                     QStringLiteral("font-size: 13px; color: #94a3b8; margin-top: 4px;")),
        styled_label(QStringLiteral("在主界面点击皮肤卡片上的'安装'按钮添加下载"),
                     QStringLiteral("font-size: 12px; color: #64748b; background-color: #f1f5f9;"
                                    " border-radius: 8px; padding: 8px 16px; margin-top: 12px;")),
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
