#include "app/mainwindow.h"

#include "app/style_sheets.h"
#include "cards/card_area.h"
#include "cards/pagination_bar.h"
#include "catalog/category_rows.h"
#include "gamedir/game_folder_row.h"
#include "widgets/flow_layout.h"

#include <QFileInfo>
#include <QIcon>
#include <QVBoxLayout>

void MainWindow::init_ui()
{
    setWindowTitle(QStringLiteral("Zorbel-DreadHunger-MOD下载器"));
    setFixedSize(970, 870);
    const QString icon_path = get_icon_path();
    if (QFileInfo::exists(icon_path))
        setWindowIcon(QIcon(icon_path));
    setStyleSheet(style::window);

    auto *central = new QWidget;
    main_layout = new QVBoxLayout(central);
    main_layout->setContentsMargins(16, 4, 16, 12);
    main_layout->setSpacing(8);

    _folder_row = new GameFolderRow;
    dir_label = _folder_row->status_label();
    connect(_folder_row, &GameFolderRow::detect_requested, this, [this] { _detect_by_process(); });
    connect(_folder_row, &GameFolderRow::open_folder_requested, this, [this] { _open_skin_dir(); });
    connect(_folder_row, &GameFolderRow::queue_requested, this, [this] { _show_download_queue(); });

    QVBoxLayout *navigation = _create_category_navigation();

    flow_container = _card_area;
    flow_layout = _card_area->flow_layout();

    pagination_widget = _create_pagination_widget();

    auto *navigation_widget = new QWidget;
    navigation_widget->setLayout(navigation);
    navigation_widget->setMinimumHeight(130);

    main_layout->addWidget(_folder_row, 0);
    main_layout->addWidget(navigation_widget, 0);
    main_layout->addWidget(flow_container, 1);
    main_layout->addWidget(pagination_widget, 0);

    setCentralWidget(central);
}

QWidget *MainWindow::_create_pagination_widget()
{
    _pagination = new PaginationBar;
    prev_btn = _pagination->prev_button();
    next_btn = _pagination->next_button();
    refresh_btn = _pagination->refresh_button();
    page_label = _pagination->label();
    connect(_pagination, &PaginationBar::previous_requested, this, [this] { _prev_page(); });
    connect(_pagination, &PaginationBar::next_requested, this, [this] { _next_page(); });
    connect(_pagination, &PaginationBar::refresh_requested, this, [this] { _refresh_skins(); });
    return _pagination;
}

void MainWindow::_clear_layout(QLayout *layout)
{
    if (layout == flow_layout)
        _card_area->clear();
    else
        clear_layout(layout);
}
