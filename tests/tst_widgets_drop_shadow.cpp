// The cached drop shadow: the same picture as Qt's own effect, on screen after partial
// repaints as well as in a full rendering, with one blur per outline.

#include "support/test_env.h"
#include "widgets/cached_drop_shadow.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// A card-like widget: an opaque rounded background with a label and a shadowed badge
// inside, on a plain backdrop with room around it for the shadow.
struct Scene {
    QWidget backdrop;
    QWidget *card = nullptr;
    QLabel *label = nullptr;
    QWidget *badge = nullptr;
    QGraphicsDropShadowEffect *effect = nullptr;

    Scene(bool cached, QSize size)
    {
        backdrop.setFixedSize(size + QSize(60, 60));
        backdrop.setAutoFillBackground(true);
        backdrop.setPalette(QPalette(QColor(240, 240, 240)));
        card = new QWidget(&backdrop);
        card->setAttribute(Qt::WA_StyledBackground, true);
        card->setStyleSheet(QStringLiteral("background-color: #FFFFFF; border-radius: 12px;"));
        card->setGeometry(QRect(QPoint(30, 30), size));
        label = new QLabel(QStringLiteral("安装"), card);
        label->move(20, 20);
        // A child with a shadow of its own, as the cards' zoom button has.
        badge = new QWidget(card);
        badge->setAttribute(Qt::WA_StyledBackground, true);
        badge->setStyleSheet(QStringLiteral("background-color: #FF0000; border-radius: 8px;"));
        badge->setGeometry(100, 60, 32, 32);
        auto *badge_shadow = new QGraphicsDropShadowEffect;
        badge_shadow->setBlurRadius(8);
        badge->setGraphicsEffect(badge_shadow);
        if (cached) {
            effect = new CachedDropShadowEffect(card);
        } else {
            effect = new QGraphicsDropShadowEffect;
            card->setGraphicsEffect(effect);
        }
        effect->setBlurRadius(8);
        effect->setOffset(0, 2);
        effect->setColor(QColor(0, 0, 0, 160));  // darker than the cards' so differences show
    }

    QImage picture() { return backdrop.grab().toImage().convertToFormat(QImage::Format_ARGB32); }

    // What the window shows: the backing store, painted region by region.
    QImage on_screen()
    {
        return backdrop.screen()->grabWindow(backdrop.winId()).toImage().convertToFormat(QImage::Format_ARGB32);
    }
};

struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

int largest_difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 256;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max(
                {largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

// The two pictures agree, the shadow is really there (the backdrop just under the card's
// lower edge is darker than the backdrop far away) and so is the badge.
void expect_same_shadow(Scene &qt_scene, Scene &cached_scene)
{
    const QImage expected = qt_scene.picture();
    const QImage actual = cached_scene.picture();
    const QRect card = cached_scene.card->geometry();
    const qreal ratio = actual.devicePixelRatio();  // pictures are in device pixels
    QCOMPARE(QColor(actual.pixel((card.topLeft() + cached_scene.badge->geometry().center()) * ratio)), QColor(Qt::red));
    QVERIFY(qGray(actual.pixel(QPoint(card.center().x(), card.bottom() + 1) * ratio)) < 225);
    QCOMPARE(actual.pixel(2, 2), expected.pixel(2, 2));
    QVERIFY2(largest_difference(expected, actual) <= 2,
             qPrintable(QStringLiteral("differs by %1").arg(largest_difference(expected, actual))));
}

}  // namespace

class TestDropShadow : public QObject {
    Q_OBJECT
private slots:
    void looks_like_qts_shadow_and_follows_size_and_properties()
    {
        Scene qt_scene(false, QSize(200, 150));
        Scene cached_scene(true, QSize(200, 150));
        expect_same_shadow(qt_scene, cached_scene);

        for (Scene *scene : {&qt_scene, &cached_scene}) {
            scene->card->resize(150, 120);
            scene->label->setText(QStringLiteral("下载中 42%"));
        }
        expect_same_shadow(qt_scene, cached_scene);

        const int before = CachedDropShadowEffect::shadows_made();
        for (Scene *scene : {&qt_scene, &cached_scene}) {
            scene->effect->setBlurRadius(4);
            scene->effect->setOffset(3, 1);
        }
        expect_same_shadow(qt_scene, cached_scene);
        QCOMPARE(CachedDropShadowEffect::shadows_made(), before + 1);
    }

    void partial_repaints_on_screen_match_qts_shadow()
    {
        Scene qt_scene(false, QSize(200, 150));
        Scene cached_scene(true, QSize(200, 150));
        for (Scene *scene : {&qt_scene, &cached_scene}) {
            scene->backdrop.show();
            QVERIFY(QTest::qWaitForWindowExposed(&scene->backdrop));
        }
        PaintCounter paints;
        cached_scene.card->installEventFilter(&paints);
        for (int percent = 0; percent <= 100; percent += 25) {
            for (Scene *scene : {&qt_scene, &cached_scene}) {
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
        Scene first(true, QSize(180, 130));
        const QImage idle = first.picture();
        const int made = CachedDropShadowEffect::shadows_made();

        // The contents still repaint with every change, once each (the effect renders the
        // card itself and must not do it twice), and without a new blur.
        PaintCounter paints;
        first.card->installEventFilter(&paints);
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
        Scene second(true, QSize(180, 130));
        second.picture();
        QCOMPARE(CachedDropShadowEffect::shadows_made(), made);
        Scene third(true, QSize(181, 130));
        third.picture();
        QCOMPARE(CachedDropShadowEffect::shadows_made(), made + 1);
    }
};

ZORBEL_TEST_MAIN(TestDropShadow)
#include "tst_widgets_drop_shadow.moc"
