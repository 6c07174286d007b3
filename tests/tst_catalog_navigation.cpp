// Clicking through the category rows of a window built against a scripted server.

#include "app/mainwindow.h"
#include "support/test_env.h"
#include "support/widget_probes.h"
#include "support/window_fixture.h"
#include "widgets/flow_layout.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

// Alpha (rank 2): Y before X; Beta (rank 1): X and a subcategory literally named "全部";
// Gamma (rank 3): no subcategories.
QJsonArray catalogue()
{
    return QJsonArray{
        with_ranks(skin_record("a1", "Alpha", "X", 7), 2, 1),   with_ranks(skin_record("a2", "Alpha", "Y", 3), 2, 5),
        with_ranks(skin_record("a3", "Alpha", "X", 12), 2, 1),  with_ranks(skin_record("b1", "Beta", "X", 1), 1, 0),
        with_ranks(skin_record("b2", "Beta", "全部", 2), 1, 0), with_ranks(skin_record("g1", "Gamma", "", 1), 3, 0)};
}

}  // namespace

class TestCatalogNavigation : public QObject, WindowHarness {
    Q_OBJECT

private slots:
    void init()
    {
        start();
        server->set_catalog(catalogue());
        open_window();
        QVERIFY(boxes->boxes.isEmpty());
    }

    void cleanup() { stop(); }

    void start_up_selects_nothing()
    {
        QCOMPARE(button_texts(window->main_category_layout), QStringList({"Gamma", "Alpha", "Beta"}));
        QCOMPARE(checked_texts(window->main_category_layout), QStringList());
        QCOMPARE(window->subcategory_layout->count(), 0);
        QCOMPARE(pagination_of(*window), QStringLiteral("第 1 页 / 共 1 页"));
    }

    void choosing_a_main_category_fills_the_tags_and_shows_the_instructions()
    {
        QStringList painted;  // what the card area held while events were processed mid-click
        QTimer::singleShot(0, [&] { painted = label_texts(window->flow_layout); });
        layout_button(window->main_category_layout, "Alpha")->click();
        QCOMPARE(painted, QStringList({"请选择子分类..."}));

        QCOMPARE(checked_texts(window->main_category_layout), QStringList({"Alpha"}));
        QCOMPARE(window->current_category_name, std::optional<QString>("Alpha"));
        QVERIFY(!window->current_subcategory_name);
        QCOMPARE(button_texts(window->subcategory_layout), QStringList({"全部", "Y", "X"}));
        QCOMPARE(checked_texts(window->subcategory_layout), QStringList());
        QCOMPARE(label_texts(window->flow_layout), QStringList({QStringLiteral("<h2>欢迎</h2>")}));
        QCOMPARE(pagination_of(*window), QStringLiteral("第 1 页 / 共 1 页"));

        for (QPushButton *tag : layout_buttons(window->subcategory_layout)) {
            QCOMPARE(tag->objectName(), QStringLiteral("sub_category_tag"));
            auto *shadow = qobject_cast<QGraphicsDropShadowEffect *>(tag->graphicsEffect());
            QCOMPARE(shadow != nullptr, tag->text() != QStringLiteral("全部"));
        }
    }

    void choosing_a_tag_loads_the_sorted_skins_after_the_timer()
    {
        layout_button(window->main_category_layout, "Alpha")->click();
        layout_button(window->subcategory_layout, "X")->click();
        QCOMPARE(checked_texts(window->subcategory_layout), QStringList({"X"}));
        QCOMPARE(window->current_subcategory_name, std::optional<QString>("X"));
        QCOMPARE(label_texts(window->flow_layout), QStringList({"正在加载皮肤列表..."}));
        QVERIFY(window->skins.isEmpty());  // the list follows on the timer
        // Subcategory X under every main category, highest main rank, then skin id first.
        QTRY_COMPARE(names_of(window->skins), QStringList({"a3", "a1", "b1"}));
        QCOMPARE(window->current_page, 0);
    }

    void the_all_tag_lists_the_main_category()
    {
        layout_button(window->main_category_layout, "Alpha")->click();
        layout_button(window->subcategory_layout, "X")->click();
        layout_button(window->subcategory_layout, "全部")->click();
        QCOMPARE(checked_texts(window->subcategory_layout), QStringList({"全部"}));
        QVERIFY(!window->current_subcategory_name);
        QTRY_COMPARE(names_of(window->skins), QStringList({"a2", "a3", "a1"}));
    }

    void a_subcategory_named_all_checks_no_tag_and_lists_its_skins()
    {
        layout_button(window->main_category_layout, "Beta")->click();
        QCOMPARE(button_texts(window->subcategory_layout), QStringList({"全部", "X", "全部"}));
        layout_button(window->subcategory_layout, "全部", 1)->click();
        QCOMPARE(checked_texts(window->subcategory_layout), QStringList());
        QCOMPARE(window->current_subcategory_name, std::optional<QString>("全部"));
        QTRY_COMPARE(names_of(window->skins), QStringList({"b2"}));
    }

    void switching_main_categories_moves_the_check_and_resets_the_tag()
    {
        layout_button(window->main_category_layout, "Alpha")->click();
        layout_button(window->subcategory_layout, "Y")->click();
        QTRY_COMPARE(names_of(window->skins), QStringList({"a2"}));

        layout_button(window->main_category_layout, "Beta")->click();
        QCOMPARE(checked_texts(window->main_category_layout), QStringList({"Beta"}));
        QVERIFY(!window->current_subcategory_name);
        QCOMPARE(checked_texts(window->subcategory_layout), QStringList());

        // Clicking the checked category again keeps it checked and shows the instructions again.
        layout_button(window->subcategory_layout, "X")->click();
        layout_button(window->main_category_layout, "Beta")->click();
        QCOMPARE(checked_texts(window->main_category_layout), QStringList({"Beta"}));
        QCOMPARE(checked_texts(window->subcategory_layout), QStringList());
        QCOMPARE(label_texts(window->flow_layout), QStringList({QStringLiteral("<h2>欢迎</h2>")}));
    }

    void a_main_category_click_drops_the_list_a_tag_click_scheduled()
    {
        layout_button(window->main_category_layout, "Alpha")->click();
        layout_button(window->subcategory_layout, "X")->click();
        QSignalSpy loads(window->load_skins_timer(), &QTimer::timeout);
        layout_button(window->main_category_layout, "Beta")->click();
        QVERIFY(!loads.wait(400));
        QVERIFY(window->skins.isEmpty());
        QCOMPARE(label_texts(window->flow_layout), QStringList({QStringLiteral("<h2>欢迎</h2>")}));
    }

    void clicks_queued_inside_another_click_leave_no_stale_list_data()
    {
        QTest::addColumn<bool>("tag_click_outside");
        QTest::newRow("main-category click inside a tag click") << true;
        QTest::newRow("tag click of the old row inside a main-category click") << false;
    }

    void clicks_queued_inside_another_click_leave_no_stale_list()
    {
        QFETCH(bool, tag_click_outside);
        layout_button(window->main_category_layout, "Alpha")->click();
        QPushButton *old_tag = layout_button(window->subcategory_layout, "X");
        QPushButton *beta = layout_button(window->main_category_layout, "Beta");
        // The inner click waits in the event queue and is handled while the outer one
        // paints its notice. Either way, Beta is chosen last and shows its instructions.
        QMetaObject::invokeMethod(tag_click_outside ? beta : old_tag, "click", Qt::QueuedConnection);
        (tag_click_outside ? old_tag : beta)->click();
        QTRY_VERIFY(!window->load_skins_timer() || !window->load_skins_timer()->isActive());
        QCOMPARE(window->current_category_name, std::optional<QString>("Beta"));
        QVERIFY(!window->current_subcategory_name);
        QVERIFY(window->skins.isEmpty());
        QCOMPARE(label_texts(window->flow_layout), QStringList({QStringLiteral("<h2>欢迎</h2>")}));
    }

    void a_main_category_without_subcategories_has_an_empty_row()
    {
        layout_button(window->main_category_layout, "Alpha")->click();
        layout_button(window->main_category_layout, "Gamma")->click();
        QCOMPARE(window->subcategory_layout->count(), 0);
        QCOMPARE(checked_texts(window->main_category_layout), QStringList({"Gamma"}));
    }

    void a_bad_skin_id_logs_and_keeps_the_previous_list()
    {
        QJsonArray records = catalogue();
        QJsonObject bad = skin_record("bad", "Alpha", "Y", 0);
        bad.insert("skin_id", "abc");
        records.append(bad);
        window->all_skins_data = records;

        layout_button(window->main_category_layout, "Alpha")->click();
        layout_button(window->subcategory_layout, "X")->click();
        QTRY_COMPARE(names_of(window->skins), QStringList({"a3", "a1", "b1"}));

        LogCapture log;
        layout_button(window->subcategory_layout, "Y")->click();
        QTRY_VERIFY(log.contains("[ERROR] 加载皮肤列表失败: "));
        QCOMPARE(names_of(window->skins), QStringList({"a3", "a1", "b1"}));
        QCOMPARE(label_texts(window->flow_layout), QStringList({"正在加载皮肤列表..."}));
        QVERIFY(boxes->boxes.isEmpty());
    }
};

ZORBEL_TEST_MAIN(TestCatalogNavigation)
#include "tst_catalog_navigation.moc"
