#include "app/mainwindow.h"

#include "cards/card_area.h"
#include "catalog/category_rows.h"

#include <QCoreApplication>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Replaces the card area with one centred line and paints it at once, before the slower
// work that follows the click.
void show_card_area_notice(CardArea *area, const QString &text)
{
    area->show_notice(text);
    QCoreApplication::processEvents();
}

}  // namespace

QVBoxLayout *MainWindow::_create_category_navigation()
{
    _category_rows = new CategoryRows;
    main_category_container = _category_rows->main_category_container();
    main_category_layout = _category_rows->main_category_layout();
    subcategory_container = _category_rows->subcategory_container();
    subcategory_layout = _category_rows->subcategory_layout();
    connect(_category_rows, &CategoryRows::main_category_clicked, this, &MainWindow::_select_main_category);
    // A tag acts only while its row is the chosen category's: a click on the old row that
    // arrives while a main-category click is under way belongs to a choice already left.
    connect(_category_rows, &CategoryRows::subcategory_clicked, this,
            [this](const QString &row, const std::optional<QString> &name) {
                if (current_category_name == row)
                    _select_subcategory(name);
            });

    auto *navigation = new QVBoxLayout;
    navigation->setContentsMargins(0, 0, 0, 0);
    navigation->addWidget(_category_rows);
    return navigation;
}

void MainWindow::_update_category_ui()
{
    _category_rows->show_main_categories(main_categories);
}

void MainWindow::_select_main_category(const QString &category_name)
{
    Q_ASSERT(_is_gui_thread());
    _category_rows->check_main_category(category_name);
    current_category_name = category_name;
    current_subcategory_name.reset();
    ++_selection_serial;
    // A list still scheduled by a tag click belongs to the old choice.
    if (_load_skins_timer)
        _load_skins_timer->stop();

    show_card_area_notice(_card_area, QStringLiteral("请选择子分类..."));

    _update_subcategory_ui();
    _show_instructions_content();
}

void MainWindow::_update_subcategory_ui()
{
    _category_rows->clear_subcategories();
    if (!current_category_name)
        return;
    if (const QStringList *names = find_subcategories(subcategories, *current_category_name))
        _category_rows->show_subcategories(*current_category_name, *names);
}

void MainWindow::_select_subcategory(const std::optional<QString> &subcategory_name)
{
    Q_ASSERT(_is_gui_thread());
    _category_rows->check_subcategory(subcategory_name);
    current_subcategory_name = subcategory_name;
    const quint64 selection = ++_selection_serial;

    show_card_area_notice(_card_area, QStringLiteral("正在加载皮肤列表..."));
    // A click handled while the notice was painted has chosen anew; its outcome stands.
    if (selection != _selection_serial)
        return;

    if (!_load_skins_timer) {
        _load_skins_timer = new QTimer(this);
        _load_skins_timer->setSingleShot(true);
        _load_skins_timer->setInterval(100);
        connect(_load_skins_timer, &QTimer::timeout, this, &MainWindow::_load_skins);
    }
    _load_skins_timer->start();
}
