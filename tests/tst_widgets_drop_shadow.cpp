// The cached drop shadow: the same picture as Qt's own effect, on screen after partial
// repaints as well as in a full rendering, with one blur per outline.

#include "support/shadow_scene.h"
#include "support/test_env.h"
#include "support/widget_probes.h"
#include "widgets/cached_drop_shadow.h"

#include <QImage>
#include <QLabel>
#include <QWidget>

class TestDropShadow : public QObject {
    Q_OBJECT
private slots:
    void looks_like_qts_shadow_and_follows_size_and_properties()
    {
        ShadowScene qt_scene(false, QSize(200, 150));
        ShadowScene cached_scene(true, QSize(200, 150));
        expect_same_shadow(qt_scene, cached_scene);

        for (ShadowScene *scene : {&qt_scene, &cached_scene}) {
            scene->card->resize(150, 120);
            scene->label->setText(QStringLiteral("下载中 42%"));
        }
        expect_same_shadow(qt_scene, cached_scene);

        const int before = CachedDropShadowEffect::shadows_made();
        for (ShadowScene *scene : {&qt_scene, &cached_scene}) {
            scene->effect->setBlurRadius(4);
            scene->effect->setOffset(3, 1);
        }
        expect_same_shadow(qt_scene, cached_scene);
        QCOMPARE(CachedDropShadowEffect::shadows_made(), before + 1);
    }

    void partial_repaints_on_screen_match_qts_shadow()
    {
        ShadowScene qt_scene(false, QSize(200, 150));
        ShadowScene cached_scene(true, QSize(200, 150));
        for (ShadowScene *scene : {&qt_scene, &cached_scene}) {
            scene->backdrop.show();
            QVERIFY(QTest::qWaitForWindowExposed(&scene->backdrop));
        }
        EventCounter paints(cached_scene.card, QEvent::Paint);
        for (int percent = 0; percent <= 100; percent += 25) {
            for (ShadowScene *scene : {&qt_scene, &cached_scene}) {
                scene->label->setText(QStringLiteral("下载中 %1%").arg(percent));
                scene->label->adjustSize();
                scene->badge->setVisible(percent != 50);
            }
            QTRY_COMPARE(paints.count, percent / 25 + 1);
            QTRY_VERIFY(largest_difference(cached_scene.on_screen(), qt_scene.on_screen()) <= 2);
        }
        // The last change showed the badge again; the label's text is the newest.
        const QImage screen = cached_scene.on_screen();
        const QPoint badge = cached_scene.card->pos() + cached_scene.badge->geometry().center();
        QCOMPARE(QColor(screen.pixel(badge)), QColor(Qt::red));
    }

    void repaints_and_equal_outlines_reuse_the_shadow()
    {
        ShadowScene first(true, QSize(180, 130));
        const QImage idle = first.picture();
        const int made = CachedDropShadowEffect::shadows_made();

        // The contents still repaint with every change, once each (the effect renders the
        // card itself and must not do it twice), and without a new blur.
        EventCounter paints(first.card, QEvent::Paint);
        QImage previous = idle;
        for (int percent = 1; percent <= 20; ++percent) {
            first.label->setText(QStringLiteral("下载中 %1%").arg(percent));
            first.label->adjustSize();
            const QImage now = first.picture();
            QVERIFY(now != previous);
            previous = now;
        }
        QCOMPARE(paints.count, 20);
        QCOMPARE(CachedDropShadowEffect::shadows_made(), made);

        // Another widget with the same outline shares it; another outline gets its own.
        ShadowScene second(true, QSize(180, 130));
        second.picture();
        QCOMPARE(CachedDropShadowEffect::shadows_made(), made);
        ShadowScene third(true, QSize(181, 130));
        third.picture();
        QCOMPARE(CachedDropShadowEffect::shadows_made(), made + 1);
    }
};

ZORBEL_TEST_MAIN(TestDropShadow)
#include "tst_widgets_drop_shadow.moc"
