// The window against a scripted server: catalogue loading and its failures, the
// instructions panel, the layout and the clearing of layouts.

#include "app/endpoints.h"
#include "app/logging.h"
#include "app/mainwindow.h"
#include "app/modal.h"
#include "support/test_env.h"
#include "support/widget_probes.h"
#include "support/window_fixture.h"
#include "widgets/flow_layout.h"

#include <QImage>
#include <QJsonDocument>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextCodec>

namespace {

const QString kDefaultText = QStringLiteral("欢迎使用Dread Hunger皮肤管理器！\n\n请选择主分类和子分类来浏览皮肤。");

QJsonArray sample_catalog()
{
    return QJsonArray{with_ranks(skin_record("a", "Alpha", "X", 1), 1), with_ranks(skin_record("b", "Beta", "Y", 2), 5),
                      skin_record("c", "Alpha", "Z", 3)};
}

}  // namespace

class TestCatalogWindow : public QObject, WindowHarness {
    Q_OBJECT

private slots:
    void init()
    {
        start();
        boxes->log_boxes = true;
    }

    void cleanup() { stop(); }

    // --- catalogue ---

    void successful_start_shows_buttons_and_instructions()
    {
        server->set_catalog(sample_catalog());
        open_window();
        QVERIFY(lines_starting(log->lines(), "[INFO] BOX ").isEmpty());
        QCOMPARE(window->main_categories, QStringList({"Beta", "Alpha"}));
        QCOMPARE(button_texts(window->main_category_layout), QStringList({"Beta", "Alpha"}));
        for (int i = 0; i < window->main_category_layout->count(); ++i) {
            auto *button = qobject_cast<QPushButton *>(window->main_category_layout->itemAt(i)->widget());
            QCOMPARE(button->objectName(), QStringLiteral("main_category_btn"));
            QVERIFY(button->isCheckable());
            QVERIFY(!button->isChecked());
        }
        QCOMPARE(window->subcategory_layout->count(), 0);
        QVERIFY(!window->current_category_name);
        QCOMPARE(window->all_skins_data->size(), 3);
        QCOMPARE(label_texts(window->flow_layout), QStringList({QStringLiteral("<h2>欢迎</h2>")}));
        QCOMPARE(pagination_of(*window), QStringLiteral("第 1 页 / 共 1 页"));
    }

    void empty_catalogue_is_no_error()
    {
        open_window();
        QVERIFY(lines_starting(log->lines(), "[INFO] BOX ").isEmpty());
        QCOMPARE(window->main_category_layout->count(), 0);
        QVERIFY(window->all_skins_data && window->all_skins_data->isEmpty());
        QCOMPARE(label_texts(window->flow_layout).size(), 1);
        QVERIFY(!window->prev_btn->isEnabled());
    }

    void content_type_is_compared_in_lower_case()
    {
        server->set_catalog_body(QJsonDocument(sample_catalog()).toJson(), "Application/JSON; charset=utf-8");
        open_window();
        QVERIFY(lines_starting(log->lines(), "[INFO] BOX ").isEmpty());
        QCOMPARE(window->main_categories.size(), 2);
    }

    void failures_show_one_box_and_their_log_line_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("content_type");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("error_line");  // its start; empty: none
        QTest::addColumn<bool>("box_first");
        const QString no_load = QStringLiteral("[INFO] BOX 分类加载失败 | 无法加载皮肤分类，请检查网络连接");
        const QString format = QStringLiteral("[INFO] BOX 分类加载失败 | API返回数据格式错误，请检查网络连接");
        const QString failed = QStringLiteral("[INFO] BOX 分类加载失败 | 加载皮肤分类失败，请检查网络连接");
        const QString not_json = QStringLiteral("[ERROR] API返回非JSON数据，Content-Type: text/html");
        const QString unparsed = QStringLiteral("[ERROR] JSON解析失败: ");
        const QString unloaded = QStringLiteral("[ERROR] 加载分类失败: ");
        const QByteArray json = "application/json";
        // clang-format off
        QTest::newRow("status 500") << QByteArray("[]") << json << 500 << no_load << QString() << true;
        QTest::newRow("status 404") << QByteArray("[]") << json << 404 << no_load << QString() << true;
        QTest::newRow("html") << QByteArray("[]") << QByteArray("text/html") << 200 << format << not_json << true;
        QTest::newRow("invalid json") << QByteArray("{not json") << json << 200 << format << unparsed << true;
        QTest::newRow("object") << QByteArray("{\"MainCategory\": \"A\"}") << json << 200 << failed << unloaded << false;
        QTest::newRow("bare number") << QByteArray("5") << json << 200 << failed << unloaded << false;
        QTest::newRow("non-object record")
            << QByteArray("[{\"MainCategory\": \"A\"}, 1]") << json << 200 << failed << unloaded << false;
        QTest::newRow("text rank")
            << QByteArray("[{\"MainCategory\": \"A\", \"MainCategory_ranking_id\": \"12\"}]") << json << 200 << failed
            << unloaded << false;
        // clang-format on
    }

    void failures_show_one_box_and_their_log_line()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, content_type);
        QFETCH(int, status);
        QFETCH(QString, box);
        QFETCH(QString, error_line);
        QFETCH(bool, box_first);

        server->set_catalog_body(body, content_type, status);
        open_window();

        const QStringList lines = log->lines();
        QCOMPARE(lines_starting(lines, "[INFO] BOX "), QStringList({box}));
        const int box_at = lines.indexOf(box);
        QCOMPARE(lines_starting(lines, "[ERROR]").size(), error_line.isEmpty() ? 0 : 1);
        if (!error_line.isEmpty()) {
            const int log_at = first_line_starting(lines, error_line);
            QVERIFY2(log_at >= 0, qPrintable(lines.join('\n')));
            QCOMPARE(box_at < log_at, box_first);
        }
        // Nothing is built after a failed load, and the page buttons keep their state.
        QCOMPARE(window->main_category_layout->count(), 0);
        QCOMPARE(window->subcategory_layout->count(), 0);
        QCOMPARE(window->flow_layout->count(), 0);
        QVERIFY2(pagination_of(*window).endsWith(" < >"), qPrintable(pagination_of(*window)));
    }

    void unreachable_server_logs_then_shows_the_box()
    {
        server->route("/2/皮肤.php",
                      TestReply::text(QStringLiteral("https://127.0.0.1:%1/base").arg(unused_port()).toUtf8()));
        open_window();
        const QStringList lines = log->lines();
        const QString box = QStringLiteral("[INFO] BOX 分类加载失败 | 加载皮肤分类失败，请检查网络连接");
        QCOMPARE(lines_starting(lines, "[INFO] BOX "), QStringList({box}));
        const int log_at = first_line_starting(lines, "[ERROR] 加载分类失败: ");
        QVERIFY(log_at >= 0);
        QVERIFY(log_at < lines.indexOf(box));
        QVERIFY(lines[log_at].size() > QStringLiteral("[ERROR] 加载分类失败: ").size());
        QVERIFY(!window->all_skins_data);
        QCOMPARE(window->flow_layout->count(), 0);
    }

    void ten_megabyte_catalogue_loads()
    {
        QJsonArray records;
        const QString padding(4000, QLatin1Char('p'));
        for (int i = 0; i < 2600; ++i) {
            QJsonObject record =
                skin_record(QString::number(i), QStringLiteral("M%1").arg(i % 40), QStringLiteral("S%1").arg(i % 7), i);
            record.insert("MainCategory_ranking_id", i % 40);
            record.insert("description", padding);
            records.append(record);
        }
        const QByteArray body = QJsonDocument(records).toJson(QJsonDocument::Compact);
        QVERIFY(body.size() > 10 * 1000 * 1000);
        server->set_catalog_body(body);
        open_window();
        QVERIFY(lines_starting(log->lines(), "[INFO] BOX ").isEmpty());
        QCOMPARE(window->all_skins_data->size(), 2600);
        QCOMPARE(window->main_categories.size(), 40);
        QCOMPARE(window->main_categories.first(), QStringLiteral("M39"));
        QCOMPARE(find_subcategories(window->subcategories, "M39")->size(), 7);
    }

    void missing_catalogue_stops_the_skin_list_with_box_then_log()
    {
        open_window();
        log->clear();
        window->_load_skins();  // no main category chosen: nothing happens
        QVERIFY(log->lines().isEmpty());

        window->current_category_name = QStringLiteral("A");
        window->_load_skins();
        const QStringList lines = log->lines();
        QCOMPARE(lines, QStringList({"[INFO] BOX 错误 | 皮肤数据未加载，请重新启动程序",
                                     "[ERROR] 皮肤数据未加载，无法显示分类内容"}));
    }

    // --- instructions ---

    // The server's answer → the text the card area shows (and the window keeps) and the
    // log line of the load; never a box.
    void instructions_answer_is_shown_data()
    {
        QTest::addColumn<TestReply>("answer");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("log_line");
        const QByteArray text = QStringLiteral("  <b>公告</b> 新皮肤上线\n").toUtf8();
        const QString loaded = QStringLiteral("[INFO] Instructions_API内容加载成功");
        TestReply gbk = TestReply::text(QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("欢迎光临")));
        gbk.content_type = "text/html; charset=GBK";

        QTest::newRow("text is shown unchanged") << TestReply::text(text) << QString::fromUtf8(text) << loaded;
        QTest::newRow("declared charset is followed") << gbk << QStringLiteral("欢迎光临") << loaded;
        QTest::newRow("empty instructions stay empty") << TestReply::text(QByteArray()) << QString() << loaded;
        QTest::newRow("error status gives the default text")
            << TestReply::text("missing", 404) << kDefaultText
            << QStringLiteral("[WARNING] Instructions_API加载失败，使用默认内容");
    }

    void instructions_answer_is_shown()
    {
        QFETCH(TestReply, answer);
        QFETCH(QString, shown);
        QFETCH(QString, log_line);
        server->route(SkinServer::instructions_path(), answer);
        open_window();
        QCOMPARE(window->instructions_content, shown);
        QCOMPARE(label_texts(window->flow_layout), QStringList({shown}));
        auto *label = qobject_cast<QLabel *>(window->flow_layout->itemAt(0)->widget());
        QVERIFY(label->wordWrap());
        QVERIFY(label->alignment() & Qt::AlignHCenter);
        QVERIFY(label->textFormat() != Qt::PlainText);
        QVERIFY(log->lines().contains(log_line));
        QVERIFY(lines_starting(log->lines(), "[INFO] BOX ").isEmpty());
    }

    void instructions_fetch_nothing_from_outside_themselves()
    {
        // A local file stands in for a network share: either would be read as the label
        // lays the text out. The data: image carries its content and is shown.
        QTemporaryDir dir;
        QVERIFY(solid_image(40, 40, Qt::magenta).save(dir.filePath("outside.png")));
        const QString body =
            QStringLiteral("<p>公告</p><img src=\"%1\"><img src=\"data:image/png;base64,%2\">"
                           "<table background=\"%1\" width=\"80\" height=\"40\"><tr><td>表</td></tr></table>")
                .arg(dir.filePath("outside.png"),
                     QString::fromLatin1(png_bytes(solid_image(40, 40, Qt::cyan)).toBase64()));
        server->route(SkinServer::instructions_path(), TestReply::text(body.toUtf8()));
        open_window();
        auto *label = qobject_cast<QLabel *>(window->flow_layout->itemAt(0)->widget());
        QVERIFY(label);
        label->resize(600, 300);
        const QImage shown = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto shows = [&shown](QColor colour) {
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    if (shown.pixelColor(x, y) == colour)
                        return true;
            return false;
        };
        QVERIFY(!shows(QColor(Qt::magenta)));
        QVERIFY(shows(QColor(Qt::cyan)));
    }

    void unreachable_instructions_give_the_default_text()
    {
        open_window();
        log->clear();
        Instructions_API = QStringLiteral("https://127.0.0.1:%1/base/Instructions.php").arg(unused_port());
        window->_load_instructions();
        window->_show_instructions_content();
        QCOMPARE(window->instructions_content, kDefaultText);
        QCOMPARE(label_texts(window->flow_layout), QStringList({kDefaultText}));
        const QStringList lines = log->lines();
        const int at = first_line_starting(lines, "[ERROR] 加载Instructions_API失败: ");
        QVERIFY2(at >= 0, qPrintable(lines.join('\n')));
        QVERIFY(lines[at].size() > QStringLiteral("[ERROR] 加载Instructions_API失败: ").size());
        QVERIFY(lines_starting(lines, "[INFO] BOX ").isEmpty());
    }

    void showing_instructions_resets_the_pagination()
    {
        open_window();
        window->page_label->setText(QStringLiteral("第 2 页 / 共 3 页"));
        window->prev_btn->setEnabled(true);
        window->next_btn->setEnabled(true);
        window->all_skin_widgets.append(nullptr);
        window->_show_instructions_content();
        QCOMPARE(pagination_of(*window), QStringLiteral("第 1 页 / 共 1 页"));
        QVERIFY(window->all_skin_widgets.isEmpty());
        QCOMPARE(window->flow_layout->count(), 1);
    }

    // --- layout ---

    void window_is_fixed_and_titled()
    {
        open_window();
        QCOMPARE(window->windowTitle(), QStringLiteral("Zorbel-DreadHunger-MOD下载器"));
        QCOMPARE(window->minimumSize(), QSize(970, 870));
        QCOMPARE(window->maximumSize(), QSize(970, 870));
        QCOMPARE(window->dir_label->text(), QStringLiteral("请先启动Dread Hunger游戏后点击检测目录"));
        QCOMPARE(window->flow_layout->maxColumns(), 3);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        for (QPushButton *button : {window->prev_btn, window->next_btn, window->refresh_btn})
            QCOMPARE(button->size(), QSize(70, 28));
        QCOMPARE(window->prev_btn->text(), QStringLiteral("上一页"));
        QCOMPARE(window->next_btn->text(), QStringLiteral("下一页"));
        QCOMPARE(window->refresh_btn->text(), QStringLiteral("刷新页面"));
        // The card area takes the height that the fixed rows leave.
        QVERIFY(window->flow_container->height() > 400);
        QVERIFY(window->flow_container->y() > window->subcategory_container->mapTo(window.get(), QPoint()).y());
        QVERIFY(window->pagination_widget->y() > window->flow_container->y());
        // The area paints its own white panel, also where no card or text lies.
        const QPoint corner =
            window->flow_container->mapTo(window.get(), QPoint(20, window->flow_container->height() - 20));
        QCOMPARE(window->grab().toImage().pixelColor(corner), QColor(Qt::white));
        window->close();
    }

    void game_folder_row_opens_the_download_queue()
    {
        open_window();
        QStringList texts;
        QPushButton *queue = nullptr;
        for (QPushButton *button : window->centralWidget()->findChildren<QPushButton *>()) {
            if (button->parentWidget() == window->dir_label->parentWidget()) {
                texts.append(button->text());
                if (button->text() == QStringLiteral("下载队列"))
                    queue = button;
            }
        }
        QCOMPARE(texts, QStringList({"检测目录", "打开皮肤目录", "下载队列"}));
        boxes->boxes.clear();
        queue->click();
        QCOMPARE(boxes->boxes.size(), 1);
        QCOMPARE(boxes->boxes[0].type, QStringLiteral("DownloadListDialog"));
    }

    void clearing_the_card_area_forgets_the_cards_and_deletes_later()
    {
        open_window();
        QPointer<QLabel> label = new QLabel("x");
        window->flow_layout->addWidget(label);
        window->all_skin_widgets.append(nullptr);

        window->_clear_layout(window->subcategory_layout);
        QCOMPARE(window->all_skin_widgets.size(), 1);

        window->_clear_layout(window->flow_layout);
        QVERIFY(window->all_skin_widgets.isEmpty());
        QCOMPARE(window->flow_layout->count(), 0);
        QVERIFY(label);  // still alive until the event loop runs
        QVERIFY(label->isHidden());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!label);
    }
};

ZORBEL_TEST_MAIN(TestCatalogWindow)
#include "tst_catalog_window.moc"
