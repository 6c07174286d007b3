#include "catalogue_bench.h"

#include "app/endpoints.h"
#include "app/http_session.h"
#include "bench_page.h"
#include "catalog/catalog.h"
#include "cards/skin_widget.h"
#include "measure.h"

CatalogueRuns measure_catalogue(BenchPage &page, const CatalogueFacts &facts, int runs)
{
    CatalogueRuns result;
    MainWindow &window = page.window();
    for (int run = 0; run < runs; ++run) {
        settle(50);  // the previous run's buttons are deleted before the next one starts
        const qint64 start = now_ns();
        window.load_categories();
        result.load_ms.append(ms_between(start, now_ns()));
        if (!window.all_skins_data || window.all_skins_data->size() != facts.records
            || window.main_categories.size() != facts.main_categories) {
            result.failure = QStringLiteral("load_categories did not produce the catalogue's categories");
            return result;
        }
    }

    // The same steps one by one, to tell where the time goes.
    for (int run = 0; run < runs; ++run) {
        HttpRequest request;
        request.url = BASE_API;
        qint64 mark = now_ns();
        const HttpResponse response = session().get(request);
        result.request_ms.append(ms_between(mark, now_ns()));
        mark = now_ns();
        const QJsonValue catalogue = parse_json_value(response.body).value;
        result.parse_ms.append(ms_between(mark, now_ns()));
        mark = now_ns();
        const CategoryRanking ranking = rank_categories(catalogue);
        result.rank_ms.append(ms_between(mark, now_ns()));
        if (!ranking.ok()) {
            result.failure = QStringLiteral("ranking failed: ") + ranking.error;
            return result;
        }
    }

    for (int run = 0; run < runs; ++run) {
        const qint64 start = now_ns();
        const SkinSelection selection = select_skins(*window.all_skins_data, facts.largest_category, std::nullopt);
        result.select_ms.append(ms_between(start, now_ns()));
        if (!selection.ok() || selection.value.size() != facts.largest_count) {
            result.failure = QStringLiteral("select_skins did not keep the largest category");
            return result;
        }
        result.selected = selection.value.size();
    }
    return result;
}

PageRuns measure_page_build(BenchPage &page, const CatalogueFacts &facts, int runs)
{
    PageRuns result;
    MainWindow &window = page.window();
    const SkinSelection selection = select_skins(*window.all_skins_data, facts.largest_category, std::nullopt);
    if (!page.show_page(selection.value) || page.cards().size() != 6) {
        result.failure = QStringLiteral("the first page did not show six cards with covers");
        return result;
    }
    for (int run = 0; run < runs; ++run) {
        settle(50);
        const qint64 start = now_ns();
        window.show_current_page();
        result.build_ms.append(ms_between(start, now_ns()));
        if (page.cards().size() != 6 || !page.wait_for_covers()) {
            result.failure = QStringLiteral("a rebuilt page lacked cards or covers");
            return result;
        }
    }
    return result;
}
