#include "bench_page.h"

#include "app/modal.h"
#include "cards/skin_widget.h"
#include "log_marks.h"
#include "measure.h"

#include <QDialog>
#include <QMessageBox>

namespace {
QStringList boxes;
}  // namespace

void install_box_recorder()
{
    set_modal_runner([](QDialog &dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(&dialog)) {
            boxes.append(box->windowTitle() + QStringLiteral(": ") + box->text());
            return int(QMessageBox::Ok);
        }
        boxes.append(dialog.windowTitle());
        return int(QDialog::Accepted);
    });
    set_exit_handler([](int code) { boxes.append(QStringLiteral("exit %1").arg(code)); });
}

QStringList recorded_boxes()
{
    return boxes;
}

BenchPage::BenchPage(const QString &game_dir)
{
    main_window = std::make_unique<MainWindow>();
    main_window->game_dir = game_dir;
    main_window->show();
    if (!main_window->all_skins_data || main_window->main_categories.isEmpty())
        failure_text = QStringLiteral("the window did not load the catalogue");
    // The version check runs 1 s after construction and blocks the GUI thread for its
    // request: let it pass before anything is measured.
    else if (!wait_until([] { return log_marks::contains(QStringLiteral("当前已是最新版本")); }, 10000))
        failure_text = QStringLiteral("the version check did not finish");
}

bool BenchPage::show_page(const QVector<QJsonObject> &records, int page)
{
    MainWindow &w = window();
    w.skins = records;
    w.current_category_name = records.value(0).value(QStringLiteral("MainCategory")).toString();
    w.current_subcategory_name.reset();
    w.current_page = page;
    w.show_current_page();
    return wait_for_covers();
}

QList<SkinWidget *> BenchPage::cards() const
{
    return main_window->get_current_page_skin_widgets();
}

bool BenchPage::wait_for_covers()
{
    // A card counts its cover load as started and clears cover_loading once it is done.
    return wait_until(
        [this] {
            const QList<SkinWidget *> shown = cards();
            if (SkinWidget::_cover_load_counter < shown.size())
                return false;
            for (const SkinWidget *card : shown)
                if (card->cover_loading)
                    return false;
            return true;
        },
        10000);
}
