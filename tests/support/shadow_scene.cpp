#include "support/shadow_scene.h"

#include "widgets/cached_drop_shadow.h"

#include <QScreen>
#include <QtTest>

#include <algorithm>

ShadowScene::ShadowScene(bool cached, QSize size)
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

QImage ShadowScene::picture()
{
    return backdrop.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage ShadowScene::on_screen()
{
    return backdrop.screen()->grabWindow(backdrop.winId()).toImage().convertToFormat(QImage::Format_ARGB32);
}

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

void expect_same_shadow(ShadowScene &qt_scene, ShadowScene &cached_scene)
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
