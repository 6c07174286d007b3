// The card area of the main window: one page of cards at a time, and the pagination bar.

#include "app/mainwindow.h"

#include "app/logging.h"
#include "cards/card_area.h"
#include "cards/pagination_bar.h"
#include "cards/skin_records.h"
#include "cards/skin_widget.h"
#include "widgets/flow_layout.h"

#include <QApplication>
#include <QPointer>

namespace {

void show_empty_state(CardArea *area, PaginationBar *bar)
{
    area->show_notice(QStringLiteral("当前分类下没有皮肤"));
    bar->show_page(0, 1);
}

QString skin_id_for_log(const QJsonObject &record)
{
    const QString id_key = QStringLiteral("skin_id");
    return record.contains(id_key) ? record.value(id_key).toVariant().toString() : QStringLiteral("unknown");
}

}  // namespace

void MainWindow::show_current_page()
{
    Q_ASSERT(_is_gui_thread());
    // Events handled between two cards may ask for a page again (a page button, a new
    // selection). Such a request is remembered and served once this pass has stopped,
    // so the newest request wins and no two builds ever interleave.
    if (_building_page) {
        _page_rebuild_pending = true;
        return;
    }
    struct BuildFlag {
        bool &flag;
        ~BuildFlag() { flag = false; }
    } build_flag{_building_page};
    _building_page = true;

    do {
        _page_rebuild_pending = false;
        _build_page();
    } while (_page_rebuild_pending);
}

void MainWindow::_build_page()
{
    _card_area->clear();  // the covers of this page are staggered from its first card on

    const QVector<QJsonObject> filtered_skins =
        records_of_selection(skins, current_category_name, current_subcategory_name);
    if (filtered_skins.isEmpty()) {
        show_empty_state(_card_area, _pagination);
        return;
    }

    const QVector<QJsonObject> valid_skins = complete_records(filtered_skins);
    for (const QJsonObject &record : filtered_skins) {
        if (!first_missing_field(record).isEmpty())
            log_warning(QStringLiteral("跳过不完整的皮肤数据: ") + skin_id_for_log(record));
    }

    const int start_idx = current_page * items_per_page;
    const int end_idx = std::min(start_idx + items_per_page, int(valid_skins.size()));
    const std::optional<int> valid_skins_count = _add_page_cards(valid_skins, start_idx, end_idx);
    if (!valid_skins_count)
        return;
    if (*valid_skins_count == 0) {
        show_empty_state(_card_area, _pagination);
        return;
    }
    const int total_pages = page_count(valid_skins.size(), items_per_page);
    _pagination->show_page(current_page, total_pages);
}

std::optional<int> MainWindow::_add_page_cards(const QVector<QJsonObject> &records, int from, int to)
{
    int added = 0;
    // Only complete records get here, so no card constructor refuses its record.
    for (int index = from; index < to; ++index) {
        auto *skin_widget = new SkinWidget(records[index], game_dir);
        connect(skin_widget, &SkinWidget::show_message_signal, this, &MainWindow::show_message);
        _card_area->add_card(skin_widget);
        skin_widget->update();

        const QPointer<SkinWidget> alive(skin_widget);
        QApplication::processEvents();
        // A newer request, or a clearing of the card area by another view, ends this
        // pass: its cards belong to a page nobody wants any more.
        if (_page_rebuild_pending || !alive || !all_skin_widgets.contains(skin_widget))
            return std::nullopt;
        skin_widget->_check_installation_status();
        ++added;
    }
    return added;
}

void MainWindow::_prev_page(bool)
{
    Q_ASSERT(_is_gui_thread());
    if (current_page > 0) {
        --current_page;
        show_current_page();
    }
}

void MainWindow::_next_page(bool)
{
    Q_ASSERT(_is_gui_thread());
    const QVector<QJsonObject> valid_skins =
        complete_records(records_of_selection(skins, current_category_name, current_subcategory_name));
    const int total_pages = page_count(valid_skins.size(), items_per_page);
    if (current_page < total_pages - 1) {
        ++current_page;
        show_current_page();
    }
}

QList<SkinWidget *> MainWindow::get_current_page_skin_widgets() const
{
    QList<SkinWidget *> widgets;
    if (!flow_layout)
        return widgets;
    for (int index = 0; index < flow_layout->count(); ++index) {
        QLayoutItem *item = flow_layout->itemAt(index);
        if (!item || !item->widget())
            continue;
        if (auto *card = qobject_cast<SkinWidget *>(item->widget()))
            widgets.append(card);
    }
    return widgets;
}

QList<SkinWidget *> &MainWindow::get_all_skin_widgets()
{
    return all_skin_widgets;
}
