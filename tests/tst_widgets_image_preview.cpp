// The enlarged cover: fitting, wheel zoom within its limits, no wheel scrolling, refit on resize.

#include "support/test_env.h"
#include "widgets/image_preview_dialog.h"
#include "widgets/preview_zoom.h"

#include <QApplication>
#include <QGraphicsView>
#include <QLayout>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

namespace {

QPixmap image(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::darkCyan);
    return pixmap;
}

double zoom(const ImagePreviewDialog &dialog)
{
    return dialog.view->transform().m11();
}

// Delivers a wheel turn as the window system would: spontaneous, so that Qt hands an
// ignored event on to the parent widgets.
void turn_wheel(QWidget *target, QPoint angle_delta = {0, 120})
{
    const QPointF position(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(position, target->mapToGlobal(position.toPoint()), QPoint(), angle_delta, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::instance()->notify(target, &event);
}

void show_at_view_size(ImagePreviewDialog &dialog, const QSize &view_size)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QMargins margins = dialog.layout()->contentsMargins();
    dialog.resize(view_size.grownBy(margins));
    QTRY_COMPARE(dialog.view->size(), view_size);
}

}  // namespace

class TestImagePreview : public QObject {
    Q_OBJECT

private slots:
    void fit_takes_the_smaller_ratio_and_never_enlarges()
    {
        // Height ratio 860 / 3000 is below the width ratio 1160 / 4000.
        QCOMPARE(*preview_fit_scale({1180, 880}, {4000, 3000}), 860.0 / 3000.0);
        QCOMPARE(*preview_fit_scale({1180, 880}, {200, 100}), 1.0);
        QCOMPARE(*preview_fit_scale({700, 500}, {680, 480}), 1.0);
        QCOMPARE(*preview_fit_scale({700, 500}, {681, 100}), 680.0 / 681.0);
    }

    void fit_refuses_empty_image_or_view_without_room()
    {
        QVERIFY(!preview_fit_scale({700, 500}, {0, 0}));
        QVERIFY(!preview_fit_scale({20, 500}, {100, 100}));
        QVERIFY(!preview_fit_scale({10, 10}, {100, 100}));
    }

    void wheel_steps_stop_exactly_at_the_limits()
    {
        // Twelve steps stay inside either limit; the thirteenth lands on it, and it holds.
        for (const auto &[delta, limit] : {std::pair(120, PREVIEW_MAX_SCALE), std::pair(-120, PREVIEW_MIN_SCALE)}) {
            double scale = 1.0;
            for (int i = 0; i < 12; ++i)
                scale = preview_wheel_scale(scale, delta);
            QVERIFY(scale != limit && (scale < limit) == (delta > 0));
            scale = preview_wheel_scale(scale, delta);
            QVERIFY(scale == limit);
            QVERIFY(preview_wheel_scale(scale, delta) == limit);
        }

        QCOMPARE(preview_wheel_scale(1.0, 0), 1.2);  // a sideways turn zooms in
        QCOMPARE(preview_wheel_scale(0.05, 120), PREVIEW_MIN_SCALE);
    }

    void large_cover_is_fitted_to_the_view()
    {
        ImagePreviewDialog dialog(image(4000, 3000), QString());
        dialog.view->resize(1180, 880);
        dialog.view->scale(3, 3);  // an earlier zoom is discarded
        dialog._fit_to_view();
        QCOMPARE(zoom(dialog), 860.0 / 3000.0);
        QCOMPARE(dialog.view->transform().m22(), 860.0 / 3000.0);
    }

    void small_cover_opens_at_full_size()
    {
        ImagePreviewDialog dialog(image(200, 100), QString());
        show_at_view_size(dialog, {800, 600});
        QCOMPARE(zoom(dialog), 1.0);
    }

    void wheel_over_the_view_zooms_one_step_and_stops_at_the_limits()
    {
        ImagePreviewDialog dialog(image(200, 100), QString());
        show_at_view_size(dialog, {800, 600});
        turn_wheel(dialog.view->viewport());
        QCOMPARE(zoom(dialog), 1.2);  // once, not again through the dialog
        for (int i = 0; i < 20; ++i)
            turn_wheel(dialog.view->viewport());
        QVERIFY(zoom(dialog) == 10.0);
        for (int i = 0; i < 60; ++i)
            turn_wheel(dialog.view->viewport(), {0, -120});
        QVERIFY(zoom(dialog) == 0.1);
    }

    void wheel_over_the_dialog_itself_zooms()
    {
        ImagePreviewDialog dialog(image(200, 100), QString());
        show_at_view_size(dialog, {800, 600});
        turn_wheel(&dialog, {0, -120});
        QCOMPARE(zoom(dialog), 1.0 / 1.2);
    }

    void wheel_never_scrolls_the_view()
    {
        ImagePreviewDialog dialog(image(4000, 3000), QString());
        show_at_view_size(dialog, {800, 600});
        dialog.view->setTransform(QTransform::fromScale(10.0, 10.0));
        QScrollBar *vertical = dialog.view->verticalScrollBar();
        QScrollBar *horizontal = dialog.view->horizontalScrollBar();
        QTRY_VERIFY(vertical->isVisible() && horizontal->isVisible());
        vertical->setValue(vertical->maximum() / 2);
        horizontal->setValue(horizontal->maximum() / 2);
        const int v = vertical->value();
        const int h = horizontal->value();

        // At the upper limit the zoom cannot move, so any change would be a scroll.
        turn_wheel(dialog.view->viewport(), {0, 120});
        turn_wheel(dialog.view->viewport(), {120, 0});
        turn_wheel(vertical, {0, 120});
        turn_wheel(horizontal, {0, 120});
        QCOMPARE(vertical->value(), v);
        QCOMPARE(horizontal->value(), h);
        QVERIFY(zoom(dialog) == 10.0);

        turn_wheel(vertical, {0, -120});  // over a scroll bar the wheel still zooms
        QCOMPARE(zoom(dialog), 10.0 / 1.2);
    }

    void resize_refits_only_below_half()
    {
        ImagePreviewDialog dialog(image(4000, 3000), QString());
        show_at_view_size(dialog, {800, 600});
        QCOMPARE(zoom(dialog), 580.0 / 3000.0);

        dialog.view->setTransform(QTransform::fromScale(0.3, 0.3));
        show_at_view_size(dialog, {1180, 880});
        QCOMPARE(zoom(dialog), 860.0 / 3000.0);

        dialog.view->setTransform(QTransform::fromScale(2.0, 2.0));
        show_at_view_size(dialog, {800, 600});
        QCOMPARE(zoom(dialog), 2.0);
    }

    void null_pixmap_is_left_alone()
    {
        ImagePreviewDialog dialog{QPixmap(), QString()};
        dialog.view->resize(800, 600);
        dialog._fit_to_view();
        QVERIFY(dialog.view->transform().isIdentity());
        turn_wheel(&dialog);
        QCOMPARE(zoom(dialog), 1.2);
    }
};

ZORBEL_TEST_MAIN(TestImagePreview)
#include "tst_widgets_image_preview.moc"
