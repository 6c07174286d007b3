#include "app/mainwindow.h"

#include "cards/skin_widget.h"
#include "widgets/flow_layout.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Inherited by every child and by dialogs parented to the window; buttons without a
// style of their own (the game-folder row) get the blue look from here.
const QString kWindowStyle = QStringLiteral(
    "QMainWindow { background-color: #F5F7FA; }"
    "QPushButton { background-color: #3B82F6; color: white; border: none; border-radius: 6px;"
    " padding: 8px 16px; font: 500 14px 'Microsoft YaHei'; }"
    "QScrollArea { background: transparent; border: none; }");

const QString kDirLabelStyle = QStringLiteral(
    "QLabel { background-color: #F8F9FA; border: 1px solid #E9ECEF; border-radius: 4px; padding: 8px 12px;"
    " font: 14px \"Microsoft YaHei\"; color: #6C757D; min-height: 20px; }");

const QString kCardAreaStyle = QStringLiteral(
    "QWidget { background-color: #FFFFFF; border-radius: 4px; border: 1px solid #E5E7EB; }");

const QString kPageButtonStyle = QStringLiteral(
    "QPushButton { background-color: #3B82F6; color: #FFFFFF; border-radius: 4px; font: 11px \"Microsoft YaHei\";"
    " border: 1px solid #2563EB; padding: 4px 8px; }"
    "QPushButton:hover { background-color: #2563EB; border: 1px solid #1D4ED8; }"
    "QPushButton:pressed { background-color: #1D4ED8; border: 1px solid #1E40AF; }"
    "QPushButton:disabled { background-color: #93C5FD; color: #FFFFFF; border: 1px solid #60A5FA; }");

const QString kPageLabelStyle = QStringLiteral(
    "QLabel { font: 11px \"Microsoft YaHei\"; color: #374151; padding: 4px 8px; }");

QPushButton *make_page_button(const QString &text)
{
    auto *button = new QPushButton(text);
    button->setFixedSize(70, 28);
    button->setStyleSheet(kPageButtonStyle);
    return button;
}

} // namespace

void MainWindow::init_ui()
{
    setWindowTitle(QStringLiteral("Zorbel-DreadHunger-MOD下载器"));
    setFixedSize(970, 870);
    const QString icon_path = get_icon_path();
    if (QFileInfo::exists(icon_path))
        setWindowIcon(QIcon(icon_path));
    setStyleSheet(kWindowStyle);

    auto *central = new QWidget;
    main_layout = new QVBoxLayout(central);
    main_layout->setContentsMargins(16, 4, 16, 12);
    main_layout->setSpacing(8);

    auto *dir_layout = new QHBoxLayout;
    dir_layout->setSpacing(4);
    dir_layout->addWidget(new QLabel(QStringLiteral("皮肤目录：")));
    dir_label = new QLabel(QStringLiteral("请先启动Dread Hunger游戏后点击检测目录"));
    dir_label->setStyleSheet(kDirLabelStyle);
    dir_layout->addWidget(dir_label, 4);
    auto *detect_btn = new QPushButton(QStringLiteral("检测目录"));
    auto *open_dir_btn = new QPushButton(QStringLiteral("打开皮肤目录"));
    auto *queue_btn = new QPushButton(QStringLiteral("下载队列"));
    connect(detect_btn, &QPushButton::clicked, this, &MainWindow::_detect_by_process);
    connect(open_dir_btn, &QPushButton::clicked, this, &MainWindow::_open_skin_dir);
    connect(queue_btn, &QPushButton::clicked, this, &MainWindow::_show_download_queue);
    dir_layout->addWidget(detect_btn);
    dir_layout->addWidget(open_dir_btn);
    dir_layout->addWidget(queue_btn);

    QVBoxLayout *navigation = _create_category_navigation();

    flow_container = new QWidget;
    flow_container->setStyleSheet(kCardAreaStyle);
    flow_layout = new FlowLayout(flow_container);
    flow_layout->setMaxColumns(3);

    pagination_widget = _create_pagination_widget();

    auto *dir_widget = new QWidget;
    dir_widget->setLayout(dir_layout);
    auto *navigation_widget = new QWidget;
    navigation_widget->setLayout(navigation);
    navigation_widget->setMinimumHeight(130);

    main_layout->addWidget(dir_widget, 0);
    main_layout->addWidget(navigation_widget, 0);
    main_layout->addWidget(flow_container, 1);
    main_layout->addWidget(pagination_widget, 0);

    setCentralWidget(central);
}

QWidget *MainWindow::_create_pagination_widget()
{
    auto *bar = new QWidget;
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(8);

    prev_btn = make_page_button(QStringLiteral("上一页"));
    next_btn = make_page_button(QStringLiteral("下一页"));
    refresh_btn = make_page_button(QStringLiteral("刷新页面"));
    page_label = new QLabel(QStringLiteral("第 1 页 / 共 1 页"));
    page_label->setStyleSheet(kPageLabelStyle);
    connect(prev_btn, &QPushButton::clicked, this, &MainWindow::_prev_page);
    connect(next_btn, &QPushButton::clicked, this, &MainWindow::_next_page);
    connect(refresh_btn, &QPushButton::clicked, this, &MainWindow::_refresh_skins);

    layout->addStretch(1);
    layout->addWidget(prev_btn);
    layout->addWidget(page_label);
    layout->addWidget(next_btn);
    layout->addSpacing(25);
    layout->addWidget(refresh_btn);
    layout->addStretch(1);
    return bar;
}

void MainWindow::_clear_layout(QLayout *layout)
{
    if (layout == flow_layout)
        all_skin_widgets.clear();
    while (layout->count() > 0) {
        QLayoutItem *item = layout->takeAt(0);
        if (QWidget *widget = item->widget()) {
            // Out of the layout it would still paint where it stood until the event
            // loop deletes it; the replacement content must not show through it.
            widget->hide();
            if (auto *card = qobject_cast<SkinWidget *>(widget))
                card->retire();
            widget->deleteLater();
        }
        delete item;
    }
}
