#include "app/mainwindow.h"

#include "app/endpoints.h"
#include "app/gui_requests.h"
#include "app/http_session.h"
#include "app/logging.h"

namespace {
const QString kLoadFailedTitle = QStringLiteral("分类加载失败");
const QString kFormatError = QStringLiteral("API返回数据格式错误，请检查网络连接");
}  // namespace

void MainWindow::load_categories()
{
    Q_ASSERT(_is_gui_thread());
    _load_instructions();

    const HttpResponse response = session().get(gui_request(BASE_API, CATALOGUE_LIMITS));

    QString failure;
    if (!response.ok()) {
        failure = response.error;
    } else if (response.status != 200) {
        show_message(kLoadFailedTitle, QStringLiteral("无法加载皮肤分类，请检查网络连接"), QStringLiteral("critical"));
        return;
    } else {
        const QString content_type = QString::fromLatin1(response.header("content-type")).toLower();
        if (!content_type.contains(QStringLiteral("application/json"))) {
            show_message(kLoadFailedTitle, kFormatError, QStringLiteral("critical"));
            log_error(QStringLiteral("API返回非JSON数据，Content-Type: ") + content_type);
            return;
        }

        const Outcome<QJsonValue> catalogue = parse_json_value(response.body);
        if (!catalogue.ok()) {
            show_message(kLoadFailedTitle, kFormatError, QStringLiteral("critical"));
            log_error(QStringLiteral("JSON解析失败: ") + catalogue.error);
            return;
        }

        if (catalogue->isArray())
            all_skins_data = catalogue->toArray();
        main_categories.clear();
        subcategories.clear();
        const CategoryRanking ranking = rank_categories(*catalogue);
        if (ranking.ok()) {
            main_categories = ranking->main_categories;
            subcategories = ranking->subcategories;
            _update_category_ui();
            _show_instructions_content();
            return;
        }
        failure = ranking.error;
    }

    log_error(QStringLiteral("加载分类失败: ") + failure);
    show_message(kLoadFailedTitle, QStringLiteral("加载皮肤分类失败，请检查网络连接"), QStringLiteral("critical"));
}

void MainWindow::_load_skins()
{
    Q_ASSERT(_is_gui_thread());
    if (!current_category_name || current_category_name->isEmpty())
        return;

    if (!all_skins_data || all_skins_data->isEmpty()) {
        show_message(QStringLiteral("错误"), QStringLiteral("皮肤数据未加载，请重新启动程序"),
                     QStringLiteral("critical"));
        log_error(QStringLiteral("皮肤数据未加载，无法显示分类内容"));
        return;
    }

    SkinSelection selection = select_skins(*all_skins_data, *current_category_name, current_subcategory_name);
    if (!selection.ok()) {
        log_error(QStringLiteral("加载皮肤列表失败: ") + selection.error);
        return;
    }
    skins = std::move(selection.value);
    current_page = 0;
    show_current_page();
}
