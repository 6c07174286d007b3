// Card covers: the fetch, the disk cache, the placeholders, the crop, the stagger and
// the preview.

#include "app/config.h"
#include "app/endpoints.h"
#include "app/modal.h"
#include "cards/cover_cache.h"
#include "cards/skin_widget.h"
#include "support/card_probes.h"
#include "support/game_files.h"
#include "support/test_env.h"
#include "support/window_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>

class TestCardsCover : public QObject {
    Q_OBJECT

    TestServer server;
    const QString image_path = SkinServer::image_path();

    int image_requests() const { return server.request_count(image_path); }

private slots:
    void initTestCase()
    {
        server.route(image_path, [](const TestRequest &request) {
            const QString cover = request.query.value("cover");
            if (cover == "red.png")
                return png_reply(solid_image(64, 64, Qt::red));
            if (cover == "html.png")
                return TestReply::text("<html><body>error</body></html>");
            if (cover == "huge.png") {
                QImage huge(8193, 8193, QImage::Format_Mono);
                huge.fill(1);
                return png_reply(huge);  // about 12 KB
            }
            return TestReply::text("missing", 404);
        });
        set_base_url(server.url("/base"));
    }

    void init()
    {
        QDir(CACHE_DIR).removeRecursively();
        QDir().mkpath(CACHE_DIR);
        server.reset_requests();
        SkinWidget::_cover_load_counter = 0;
    }

    void a_cover_is_fetched_once_and_then_read_from_the_cache()
    {
        SkinWidget first(skin_record("a", "A", "B", 0, "red.png"), QString());
        QVERIFY(wait_for_cover(first));
        QCOMPARE(image_requests(), 1);
        const QMap<QString, QString> query{{"MainCategory", "A"}, {"subcategory", "B"}, {"cover", "red.png"}};
        QCOMPARE(server.last_request().query, query);
        QCOMPARE(shown_cover(first).pixelColor(128, 92), QColor(Qt::red));
        QVERIFY(!first.cover_loading);

        const QString url = IMAGE_DOWNLOAD_API + "?MainCategory=A&subcategory=B&cover=red.png";
        const QString cached =
            QDir(CACHE_DIR).filePath(QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Md5).toHex());
        QCOMPARE(read_file(cached), png_bytes(solid_image(64, 64, Qt::red)));

        SkinWidget second(skin_record("b", "A", "B", 0, "red.png"), QString());
        QVERIFY(wait_for_cover(second));
        QCOMPARE(image_requests(), 1);
        QCOMPARE(shown_cover(second).pixelColor(128, 92), QColor(Qt::red));
    }

    void an_html_answer_stays_cached_and_shows_no_cover()
    {
        LogCapture log;
        SkinWidget card(skin_record("a", "A", "B", 0, "html.png"), QString());
        QVERIFY(wait_for_cover(card));
        QVERIFY(shows_no_cover_placeholder(card));
        QCOMPARE(read_file(cover_cache_path(cover_url(card.skin_data))), QByteArray("<html><body>error</body></html>"));
        QVERIFY(!log.contains("加载封面图片失败"));

        // The undecodable copy does not stop the next card from asking again.
        SkinWidget again(skin_record("b", "A", "B", 0, "html.png"), QString());
        QVERIFY(wait_for_cover(again));
        QCOMPARE(image_requests(), 2);
    }

    void an_image_beyond_8192_pixels_a_side_is_not_decoded()
    {
        SkinWidget card(skin_record("a", "A", "B", 0, "huge.png"), QString());
        QVERIFY(wait_for_cover(card));
        QCOMPARE(image_requests(), 1);
        QVERIFY(shows_no_cover_placeholder(card));
    }

    void a_skin_without_cover_makes_no_request()
    {
        SkinWidget card(skin_record("a", "A", "B"), QString());
        QVERIFY(wait_for_cover(card));
        QVERIFY(shows_no_cover_placeholder(card));
        QCOMPARE(image_requests(), 0);
    }

    void a_wide_image_keeps_its_middle_columns()
    {
        // 512 x 185 needs no scaling; columns 128..383 remain.
        QImage image = solid_image(512, 185, Qt::blue);
        QPainter(&image).fillRect(128, 0, 256, 185, Qt::red);
        SkinWidget card(skin_record("a", "A", "B"), QString());
        card._set_cover_pixmap(QPixmap::fromImage(image));
        const QImage result = shown_cover(card);
        QCOMPARE(result.size(), QSize(256, 185));
        QCOMPARE(result.pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(result.pixelColor(255, 184), QColor(Qt::red));
    }

    void a_square_image_loses_35_rows_at_the_top()
    {
        // 300 x 300 becomes 256 x 256; the excess of 71 rows is cut 35 above, 36 below.
        // Source rows 0..41 cover scaled rows 0..35 (row 35 mostly), so the first row of
        // the crop is mostly blue when the cut is 35 and red when it is 36.
        QImage image = solid_image(300, 300, Qt::red);
        QPainter(&image).fillRect(0, 0, 300, 42, Qt::blue);
        SkinWidget card(skin_record("a", "A", "B"), QString());
        card._set_cover_pixmap(QPixmap::fromImage(image));
        const QImage result = shown_cover(card);
        QCOMPARE(result.size(), QSize(256, 185));
        const QColor top = result.pixelColor(128, 0);
        QVERIFY2(top.blue() > top.red(), qPrintable(top.name()));
        QCOMPARE(result.pixelColor(128, 2), QColor(Qt::red));
    }

    void the_seventh_card_waits_two_groups()
    {
        // Groups of three cards, 100 ms apart.
        const int delays[] = {0, 0, 0, 100, 100, 100, 200};
        for (int counter = 0; counter < 7; ++counter)
            QCOMPARE(SkinWidget::_cover_load_delay_ms(counter), delays[counter]);

        SkinWidget card(skin_record("a", "A", "B", 0, "red.png"), QString());
        SkinWidget::_cover_load_counter = 6;
        QSignalSpy loaded(&card, &SkinWidget::cover_loaded);
        QElapsedTimer clock;
        clock.start();
        card._async_load_cover();
        QCOMPARE(SkinWidget::_cover_load_counter, 7);
        QVERIFY(card.cover_loading);
        for (int disc = 0; disc < 3; ++disc)  // the loading placeholder meanwhile
            QCOMPARE(shown_cover(card).pixelColor(kDiscX + 10 * disc, kDiscY), QColor(200, 200, 200));
        QVERIFY(loaded.wait(15000));
        QVERIFY2(clock.elapsed() >= 195, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(image_requests(), 1);
    }

    void load_cover_while_a_load_is_pending_does_nothing()
    {
        SkinWidget card(skin_record("a", "A", "B", 0, "red.png"), QString());
        SkinWidget::_cover_load_counter = 9;
        QSignalSpy loaded(&card, &SkinWidget::cover_loaded);
        card._async_load_cover();
        card.load_cover();
        card.load_cover();
        QCOMPARE(SkinWidget::_cover_load_counter, 10);
        QVERIFY(loaded.wait(15000));
        QCOMPARE(image_requests(), 1);
        QVERIFY(!card.cover_loading);

        // Once it has ended, load_cover starts a new load (from the cache now).
        card.load_cover();
        QVERIFY(card.cover_loading);
        QVERIFY(loaded.wait(15000));
        QCOMPARE(loaded.count(), 2);
        QCOMPARE(image_requests(), 1);
    }

    void the_preview_opens_with_a_cover_and_a_notice_without()
    {
        ModalRecorder boxes;
        SkinWidget with_cover(skin_record("a", "A", "B", 0, "red.png"), QString());
        with_cover.zoom_button->click();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].type, QStringLiteral("ImagePreviewDialog"));

        SkinWidget without(skin_record("b", "A", "B"), QString());
        QSignalSpy messages(&without, &SkinWidget::show_message_signal);
        without.zoom_button->click();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages[0], QVariantList({"提示", "该皮肤暂无封面图片，将显示默认图片", "info"}));
    }
};

ZORBEL_TEST_MAIN(TestCardsCover)
#include "tst_cards_cover.moc"
