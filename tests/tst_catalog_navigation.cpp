// Clicking through the category rows of a window built against a scripted server.

#include "app/mainwindow.h"
#include "support/test_env.h"
#include "support/window_fixture.h"
#include "widgets/flow_layout.h"

#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

QList<QPushButton *> buttons(QLayout *layout)
{
    QList<QPushButton *> found;
    for (int i = 0; i < layout->count(); ++i)
        if (auto *button = qobject_cast<QPushButton *>(layout->itemAt(i)->widget()))
            found.append(button);
    return found;
}

QStringList texts(QLayout *layout)
{
    QStringList result;
    for (QPushButton *button : buttons(layout))
        result.append(button->text());
    return result;
}

QStringList checked(QLayout *layout)
{
    QStringList result;
    for (QPushButton *button : buttons(layout))
        if (button->isChecked())
            result.append(button->text());
    return result;
}

QPushButton *button(QLayout *layout, const QString &text, int occurrence = 0)
{
    for (QPushButton *candidate : buttons(layout))
        if (candidate->text() == text && occurrence-- == 0)
            return candidate;
    return nullptr;
}

QStringList flow_texts(MainWindow &window)
{
    QStringList result;
    for (int i = 0; i < window.flow_layout->count(); ++i)
        if (auto *label = qobject_cast<QLabel *>(window.flow_layout->itemAt(i)->widget()))
            result.append(label->text());
    return result;
}

QStringList names(const QVector<QJsonObject> &records)
{
    QStringList result;
    for (const QJsonObject &record : records)
        result.append(record.value("name").toString());
    return result;
}

QJsonObject ranked(QJsonObject record, int main_rank, int sub_rank)
{
    record.insert("MainCategory_ranking_id", main_rank);
    record.insert("subcategory_ranking_id", sub_rank);
    return record;
}

// Alpha (rank 2): Y before X; Beta (rank 1): X and a subcategory literally named "全部";
// Gamma (rank 3): no subcategories.
QJsonArray catalogue()
{
    return QJsonArray{
        ranked(skin_record("a1", "Alpha", "X", 7), 2, 1),   ranked(skin_record("a2", "Alpha", "Y", 3), 2, 5),
        ranked(skin_record("a3", "Alpha", "X", 12), 2, 1),  ranked(skin_record("b1", "Beta", "X", 1), 1, 0),
        ranked(skin_record("b2", "Beta", "全部", 2), 1, 0), ranked(skin_record("g1", "Gamma", "", 1), 3, 0)};
}

}  // namespace

class TestCatalogNavigation : public QObject {
    Q_OBJECT

    SkinServer *server = nullptr;
    ModalRecorder *boxes = nullptr;
    std::unique_ptr<MainWindow> window;

private slots:
    void init()
    {
        server = new SkinServer;
        server->set_catalog(catalogue());
        boxes = new ModalRecorder;
        window = make_window(*server);
        QVERIFY(boxes->boxes.isEmpty());
    }

    void cleanup()
    {
        window.reset();
        delete boxes;
        delete server;
    }

    void start_up_selects_nothing()
    {
        QCOMPARE(texts(window->main_category_layout), QStringList({"Gamma", "Alpha", "Beta"}));
        QCOMPARE(checked(window->main_category_layout), QStringList());
        QCOMPARE(window->subcategory_layout->count(), 0);
        QVERIFY(!window->prev_btn->isEnabled());
        QVERIFY(!window->next_btn->isEnabled());
    }

    void choosing_a_main_category_fills_the_tags_and_shows_the_instructions()
    {
        QStringList painted;  // what the card area held while events were processed mid-click
        QTimer::singleShot(0, [&] { painted = flow_texts(*window); });
        button(window->main_category_layout, "Alpha")->click();
        QCOMPARE(painted, QStringList({"请选择子分类..."}));

        QCOMPARE(checked(window->main_category_layout), QStringList({"Alpha"}));
        QCOMPARE(window->current_category_name, std::optional<QString>("Alpha"));
        QVERIFY(!window->current_subcategory_name);
        QCOMPARE(texts(window->subcategory_layout), QStringList({"全部", "Y", "X"}));
        QCOMPARE(checked(window->subcategory_layout), QStringList());
        QCOMPARE(flow_texts(*window), QStringList({QStringLiteral("<h2>欢迎</h2>")}));
        QVERIFY(!window->prev_btn->isEnabled());
        QVERIFY(!window->next_btn->isEnabled());

        for (QPushButton *tag : buttons(window->subcategory_layout)) {
            QCOMPARE(tag->objectName(), QStringLiteral("sub_category_tag"));
            auto *shadow = qobject_cast<QGraphicsDropShadowEffect *>(tag->graphicsEffect());
            QCOMPARE(shadow != nullptr, tag->text() != QStringLiteral("全部"));
        }
    }

    void choosing_a_tag_loads_the_sorted_skins_after_the_timer()
    {
        button(window->main_category_layout, "Alpha")->click();
        button(window->subcategory_layout, "X")->click();
        QCOMPARE(checked(window->subcategory_layout), QStringList({"X"}));
        QCOMPARE(window->current_subcategory_name, std::optional<QString>("X"));
        QCOMPARE(flow_texts(*window), QStringList({"正在加载皮肤列表..."}));
        QVERIFY(window->skins.isEmpty());  // the list follows on the timer
        // Subcategory X under every main category, highest main rank, then skin id first.
        QTRY_COMPARE(names(window->skins), QStringList({"a3", "a1", "b1"}));
        QCOMPARE(window->current_page, 0);
    }

    void the_all_tag_lists_the_main_category()
    {
        button(window->main_category_layout, "Alpha")->click();
        button(window->subcategory_layout, "X")->click();
        button(window->subcategory_layout, "全部")->click();
        QCOMPARE(checked(window->subcategory_layout), QStringList({"全部"}));
        QVERIFY(!window->current_subcategory_name);
        QTRY_COMPARE(names(window->skins), QStringList({"a2", "a3", "a1"}));
    }

    void a_subcategory_named_all_checks_no_tag_and_lists_its_skins()
    {
        button(window->main_category_layout, "Beta")->click();
        QCOMPARE(texts(window->subcategory_layout), QStringList({"全部", "X", "全部"}));
        button(window->subcategory_layout, "全部", 1)->click();
        QCOMPARE(checked(window->subcategory_layout), QStringList());
        QCOMPARE(window->current_subcategory_name, std::optional<QString>("全部"));
        QTRY_COMPARE(names(window->skins), QStringList({"b2"}));
    }

    void switching_main_categories_moves_the_check_and_resets_the_tag()
    {
        button(window->main_category_layout, "Alpha")->click();
        button(window->subcategory_layout, "Y")->click();
        QTRY_COMPARE(names(window->skins), QStringList({"a2"}));

        button(window->main_category_layout, "Beta")->click();
        QCOMPARE(checked(window->main_category_layout), QStringList({"Beta"}));
        QVERIFY(!window->current_subcategory_name);
        QCOMPARE(checked(window->subcategory_layout), QStringList());

        // Clicking the checked category again keeps it checked and shows the instructions again.
        button(window->subcategory_layout, "X")->click();
        button(window->main_category_layout, "Beta")->click();
        QCOMPARE(checked(window->main_category_layout), QStringList({"Beta"}));
        QCOMPARE(checked(window->subcategory_layout), QStringList());
        QCOMPARE(flow_texts(*window), QStringList({QStringLiteral("<h2>欢迎</h2>")}));
    }

    void a_main_category_click_drops_the_list_a_tag_click_scheduled()
    {
        button(window->main_category_layout, "Alpha")->click();
        button(window->subcategory_layout, "X")->click();
        QSignalSpy loads(window->load_skins_timer(), &QTimer::timeout);
        button(window->main_category_layout, "Beta")->click();
        QVERIFY(!loads.wait(400));
        QVERIFY(window->skins.isEmpty());
        QCOMPARE(flow_texts(*window), QStringList({QStringLiteral("<h2>欢迎</h2>")}));
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
        button(window->main_category_layout, "Alpha")->click();
        QPushButton *old_tag = button(window->subcategory_layout, "X");
        QPushButton *beta = button(window->main_category_layout, "Beta");
        // The inner click waits in the event queue and is handled while the outer one
        // paints its notice. Either way, Beta is chosen last and shows its instructions.
        QMetaObject::invokeMethod(tag_click_outside ? beta : old_tag, "click", Qt::QueuedConnection);
        (tag_click_outside ? old_tag : beta)->click();
        QTRY_VERIFY(!window->load_skins_timer() || !window->load_skins_timer()->isActive());
        QCOMPARE(window->current_category_name, std::optional<QString>("Beta"));
        QVERIFY(!window->current_subcategory_name);
        QVERIFY(window->skins.isEmpty());
        QCOMPARE(flow_texts(*window), QStringList({QStringLiteral("<h2>欢迎</h2>")}));
    }

    void a_main_category_without_subcategories_has_an_empty_row()
    {
        button(window->main_category_layout, "Alpha")->click();
        button(window->main_category_layout, "Gamma")->click();
        QCOMPARE(window->subcategory_layout->count(), 0);
        QCOMPARE(checked(window->main_category_layout), QStringList({"Gamma"}));
    }

    void a_bad_skin_id_logs_and_keeps_the_previous_list()
    {
        QJsonArray records = catalogue();
        QJsonObject bad = skin_record("bad", "Alpha", "Y", 0);
        bad.insert("skin_id", "abc");
        records.append(bad);
        window->all_skins_data = records;

        button(window->main_category_layout, "Alpha")->click();
        button(window->subcategory_layout, "X")->click();
        QTRY_COMPARE(names(window->skins), QStringList({"a3", "a1", "b1"}));

        LogCapture log;
        button(window->subcategory_layout, "Y")->click();
        QTRY_VERIFY(log.contains("[ERROR] 加载皮肤列表失败: "));
        QCOMPARE(names(window->skins), QStringList({"a3", "a1", "b1"}));
        QCOMPARE(flow_texts(*window), QStringList({"正在加载皮肤列表..."}));
        QVERIFY(boxes->boxes.isEmpty());
    }
};

ZORBEL_TEST_MAIN(TestCatalogNavigation)
#include "tst_catalog_navigation.moc"
