// The card area of the window: pages of six cards, the pagination bar, the empty state
// and page requests that arrive while a page is being built.

#include "app/mainwindow.h"
#include "cards/skin_widget.h"
#include "support/card_probes.h"
#include "support/test_env.h"
#include "support/widget_probes.h"
#include "support/window_fixture.h"
#include "widgets/flow_layout.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

QVector<QJsonObject> records(int count, const QString &main = "M", const QString &sub = "S")
{
    QVector<QJsonObject> list;
    for (int i = 0; i < count; ++i)
        list.append(skin_record(QStringLiteral("s%1").arg(i), main, sub, 100 - i));
    return list;
}

QStringList names_of(const QList<SkinWidget *> &cards)
{
    QStringList names;
    for (SkinWidget *card : cards)
        names << card->skin_data.value("name").toString();
    return names;
}

QStringList expected_names(int from, int to)
{
    QStringList names;
    for (int i = from; i < to; ++i)
        names << QStringLiteral("s%1").arg(i);
    return names;
}

QLabel *empty_label_of(MainWindow &window)
{
    if (window.flow_layout->count() != 1)
        return nullptr;
    return qobject_cast<QLabel *>(window.flow_layout->itemAt(0)->widget());
}

}  // namespace

class TestCardsPages : public QObject, WindowHarness {
    Q_OBJECT

    void show(const QVector<QJsonObject> &skins, const std::optional<QString> &category = QString("M"),
              const std::optional<QString> &subcategory = std::nullopt)
    {
        window->skins = skins;
        window->current_category_name = category;
        window->current_subcategory_name = subcategory;
        window->current_page = 0;
        window->show_current_page();
    }

private slots:
    void init()
    {
        start();
        open_window();
        QVERIFY(window->flow_layout && window->page_label && window->prev_btn && window->next_btn);
    }

    void cleanup() { stop(); }

    void thirteen_records_make_pages_of_six_six_and_one()
    {
        show(records(13));
        QCOMPARE(names_of(window->get_current_page_skin_widgets()), expected_names(0, 6));
        QCOMPARE(window->get_all_skin_widgets(), window->get_current_page_skin_widgets());
        QCOMPARE(pagination_of(*window), QStringLiteral("第 1 页 / 共 3 页 >"));

        window->next_btn->click();
        QCOMPARE(window->current_page, 1);
        QCOMPARE(names_of(window->get_current_page_skin_widgets()), expected_names(6, 12));
        QCOMPARE(pagination_of(*window), QStringLiteral("第 2 页 / 共 3 页 < >"));

        window->next_btn->click();
        QCOMPARE(names_of(window->get_current_page_skin_widgets()), expected_names(12, 13));
        QCOMPARE(window->get_all_skin_widgets().size(), 1);
        QCOMPARE(pagination_of(*window), QStringLiteral("第 3 页 / 共 3 页 <"));

        window->prev_btn->click();
        QCOMPARE(window->current_page, 1);
        QCOMPARE(names_of(window->get_current_page_skin_widgets()), expected_names(6, 12));
    }

    void next_on_the_last_page_and_prev_on_the_first_do_not_rebuild()
    {
        show(records(7));
        drain_deletions();
        QPointer<SkinWidget> first = window->get_current_page_skin_widgets().first();
        window->_prev_page();
        drain_deletions();
        QVERIFY(first);
        QCOMPARE(window->current_page, 0);

        window->_next_page();
        QPointer<SkinWidget> last = window->get_current_page_skin_widgets().first();
        drain_deletions();
        QCOMPARE(window->current_page, 1);
        window->_next_page();
        drain_deletions();
        QVERIFY(last);
        QCOMPARE(window->current_page, 1);
        QCOMPARE(window->get_current_page_skin_widgets(), QList<SkinWidget *>({last.data()}));
    }

    void incomplete_records_show_the_empty_state_with_one_warning_each()
    {
        QVector<QJsonObject> skins = records(3);
        for (QJsonObject &record : skins)
            record.remove("sig_original");
        skins[2].remove("skin_id");
        LogCapture log;
        show(skins);
        QLabel *empty = empty_label_of(*window);
        QVERIFY(empty);
        QCOMPARE(empty->text(), QStringLiteral("当前分类下没有皮肤"));
        QVERIFY(window->get_current_page_skin_widgets().isEmpty());
        QVERIFY(window->get_all_skin_widgets().isEmpty());
        QCOMPARE(pagination_of(*window), QStringLiteral("第 1 页 / 共 1 页"));
        QCOMPARE(log.lines().filter("跳过不完整的皮肤数据: ").size(), 3);
        QVERIFY(log.contains("[WARNING] 跳过不完整的皮肤数据: 100"));
        QVERIFY(log.contains("[WARNING] 跳过不完整的皮肤数据: 99"));
        QVERIFY(log.contains("[WARNING] 跳过不完整的皮肤数据: unknown"));
    }

    void a_page_request_during_a_build_is_served_after_it()
    {
        window->skins = records(13);
        window->current_category_name = QString("M");
        window->current_page = 0;
        // Fires while the first card's events are processed: the first pass must not
        // interleave with a second one, and the newest page must win.
        QTimer::singleShot(0, window.get(), [this] { window->_next_page(); });
        window->show_current_page();
        QCOMPARE(window->current_page, 1);
        QCOMPARE(names_of(window->get_current_page_skin_widgets()), expected_names(6, 12));
        QCOMPARE(window->get_all_skin_widgets(), window->get_current_page_skin_widgets());
        QCOMPARE(window->page_label->text(), QStringLiteral("第 2 页 / 共 3 页"));
    }

    void a_card_area_cleared_during_a_build_stays_cleared()
    {
        window->skins = records(6);
        window->current_category_name = QString("M");
        window->current_page = 0;
        QTimer::singleShot(0, window.get(), [this] { window->_clear_layout(window->flow_layout); });
        window->show_current_page();
        drain_deletions();
        QVERIFY(window->get_current_page_skin_widgets().isEmpty());
        QVERIFY(window->get_all_skin_widgets().isEmpty());
    }

    void a_cleared_card_starts_no_cover_load()
    {
        show({skin_record("old", "M", "S", 1, "old.png")});
        const QPointer<SkinWidget> old_card = window->get_current_page_skin_widgets().value(0);
        show(records(1));
        QVERIFY(old_card);  // deleted only once the event loop runs again
        server->reset_requests();
        const int counter = SkinWidget::_cover_load_counter;
        // What its construction timer and a stagger timer started before the clear would call.
        old_card->_async_load_cover();
        old_card->_start_cover_download();
        QCOMPARE(SkinWidget::_cover_load_counter, counter);
        QCOMPARE(server->request_count(SkinServer::image_path()), 0);
    }

    void card_messages_reach_the_window_box()
    {
        window->game_dir.clear();
        show(records(1));
        window->get_current_page_skin_widgets().first()->action_button->click();
        QCOMPARE(boxes->boxes.size(), 1);
        QCOMPARE(boxes->boxes[0].type, QStringLiteral("QMessageBox"));
        QCOMPARE(boxes->boxes[0].title, QStringLiteral("游戏目录未设置"));
    }

    void a_new_page_restarts_the_cover_stagger()
    {
        show(records(13));
        QTRY_COMPARE(SkinWidget::_cover_load_counter, 6);
        window->_next_page();
        // Every card of the new page counts its load once; the count starts again at 0.
        const CoverSpies loaded = spy_on_covers(window->get_current_page_skin_widgets());
        QCOMPARE(int(loaded.size()), 6);
        QTRY_COMPARE(covers_loaded(loaded), 6);
        QCOMPARE(SkinWidget::_cover_load_counter, 6);
    }
};

ZORBEL_TEST_MAIN(TestCardsPages)
#include "tst_cards_pages.moc"
