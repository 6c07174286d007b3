// The wrapping, centring flow layout: line breaks, centring, column limit, item access.

#include "support/test_env.h"
#include "widgets/flow_geometry.h"
#include "widgets/flow_layout.h"

#include <QApplication>
#include <QSpacerItem>
#include <QWidget>

namespace {

// A fixed-size item that tells when it is destroyed.
class TrackedItem : public QSpacerItem {
public:
    TrackedItem(int width, int height, int *deleted = nullptr)
        : QSpacerItem(width, height, QSizePolicy::Fixed, QSizePolicy::Fixed)
        , _deleted(deleted)
    {
    }
    ~TrackedItem() override
    {
        if (_deleted)
            ++*_deleted;
    }

private:
    int *_deleted;
};

QList<QRect> geometries(const FlowLayout &layout)
{
    QList<QRect> result;
    for (int i = 0; i < layout.count(); ++i)
        result.append(layout.itemAt(i)->geometry());
    return result;
}

void fill(FlowLayout &layout, int items, int width, int height)
{
    for (int i = 0; i < items; ++i)
        layout.addItem(new TrackedItem(width, height));
}

}  // namespace

class TestFlowLayout : public QObject {
    Q_OBJECT

private slots:
    void empty_layout_size_is_margins_less_one()
    {
        FlowLayout layout;
        layout.setContentsMargins(10, 20, 30, 40);
        QCOMPARE(layout.minimumSize(), QSize(39, 59));
        QCOMPARE(layout.sizeHint(), QSize(39, 59));
        layout.setGeometry(QRect(0, 0, 500, 500));  // nothing to place, nothing to crash on
    }

    void minimum_size_is_largest_item_plus_margins()
    {
        FlowLayout layout;
        layout.setContentsMargins(1, 2, 3, 4);
        layout.addItem(new TrackedItem(100, 50));
        layout.addItem(new TrackedItem(60, 80));
        layout.addItem(new TrackedItem(100, 50));
        QCOMPARE(layout.minimumSize(), QSize(104, 86));
        QCOMPARE(layout.sizeHint(), QSize(104, 86));
    }

    void column_limit_makes_lines_of_three_three_one()
    {
        FlowLayout layout;
        layout.setContentsMargins(0, 0, 0, 0);
        layout.setMaxColumns(3);
        fill(layout, 7, 280, 100);
        layout.setGeometry(QRect(0, 0, 1000, 300));
        const QList<QRect> expected = {
            {72, 0, 280, 100},    {360, 0, 280, 100},   {648, 0, 280, 100},   {72, 112, 280, 100},
            {360, 112, 280, 100}, {648, 112, 280, 100}, {360, 224, 280, 100},  // below the rectangle, placed all the
                                                                               // same
        };
        QCOMPARE(geometries(layout), expected);
    }

    void margins_and_rectangle_origin_shift_every_line()
    {
        FlowLayout layout;
        layout.setContentsMargins(15, 5, 25, 0);
        layout.setMaxColumns(3);
        fill(layout, 4, 280, 100);
        // Available width 1000 once the margins are taken off.
        layout.setGeometry(QRect(100, 50, 1040, 10));
        const QList<QRect> rects = geometries(layout);
        QCOMPARE(rects[0].topLeft(), QPoint(100 + 15 + 72, 55));
        QCOMPARE(rects[3].topLeft(), QPoint(100 + 15 + 360, 55 + 112));
    }

    void width_alone_decides_without_limit_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<QPoint>>("corners");
        QTest::newRow("exactly fits") << 856 << QList<QPoint>{{0, 0}, {288, 0}, {576, 0}};
        // 575 spare pixels: floor(575 / 2) = 287 for the lone item of the second line.
        QTest::newRow("one pixel short") << 855 << QList<QPoint>{{143, 0}, {431, 0}, {287, 112}};
    }

    void width_alone_decides_without_limit()
    {
        QFETCH(int, width);
        QFETCH(QList<QPoint>, corners);
        FlowLayout layout;
        layout.setContentsMargins(0, 0, 0, 0);
        fill(layout, 3, 280, 100);
        layout.setGeometry(QRect(0, 0, width, 100));
        const QList<QRect> rects = geometries(layout);
        for (int i = 0; i < corners.size(); ++i)
            QCOMPARE(rects[i].topLeft(), corners[i]);
    }

    void over_wide_line_is_centred_with_floor_division()
    {
        QCOMPARE(floor_half(5), 2);
        QCOMPARE(floor_half(-5), -3);
        QCOMPARE(floor_half(-4), -2);
        QCOMPARE(floor_half(-1), -1);
        QCOMPARE(floor_half(0), 0);

        FlowLayout layout;
        layout.setContentsMargins(10, 0, 10, 0);
        layout.addItem(new TrackedItem(1005, 40));  // 5 wider than the 1000 available
        layout.addItem(new TrackedItem(100, 40));
        layout.setGeometry(QRect(0, 0, 1020, 100));
        const QList<QRect> rects = geometries(layout);
        QCOMPARE(rects[0], QRect(10 - 3, 0, 1005, 40));  // alone on its line, left of the margin
        QCOMPARE(rects[1], QRect(10 + 450, 52, 100, 40));
    }

    void lines_are_top_aligned_and_next_line_clears_tallest()
    {
        FlowLayout layout;
        layout.setContentsMargins(0, 0, 0, 0);
        layout.setHorizontalSpacing(10);
        layout.setVerticalSpacing(4);
        layout.addItem(new TrackedItem(100, 30));
        layout.addItem(new TrackedItem(100, 90));
        layout.addItem(new TrackedItem(100, 20));
        layout.setGeometry(QRect(0, 0, 220, 500));
        const QList<QRect> rects = geometries(layout);
        QCOMPARE(rects[0], QRect(5, 0, 100, 30));
        QCOMPARE(rects[1], QRect(115, 0, 100, 90));
        QCOMPARE(rects[2], QRect(60, 94, 100, 20));
    }

    void set_spacing_sets_both_gaps()
    {
        FlowLayout layout;
        layout.setContentsMargins(0, 0, 0, 0);
        layout.setSpacing(5);
        QCOMPARE(layout.horizontalSpacing(), 5);
        QCOMPARE(layout.verticalSpacing(), 5);
        QCOMPARE(layout.spacingPair(), qMakePair(5, 5));
        layout.setMaxColumns(2);
        fill(layout, 3, 100, 50);
        layout.setGeometry(QRect(0, 0, 205, 200));
        const QList<QRect> rects = geometries(layout);
        QCOMPARE(rects[1].left(), rects[0].right() + 1 + 5);
        QCOMPARE(rects[2].top(), 55);
    }

    void item_access_out_of_range_is_null_and_harmless()
    {
        FlowLayout layout;
        QSpacerItem *a = new TrackedItem(10, 10);
        QSpacerItem *b = new TrackedItem(20, 10);
        QSpacerItem *c = new TrackedItem(30, 10);
        layout.addItem(a);
        layout.addItem(b);
        layout.addItem(c);
        QCOMPARE(layout.itemAt(-1), nullptr);
        QCOMPARE(layout.itemAt(3), nullptr);
        QCOMPARE(layout.takeAt(-1), nullptr);
        QCOMPARE(layout.takeAt(3), nullptr);
        QCOMPARE(layout.count(), 3);

        QLayoutItem *taken = layout.takeAt(1);
        QCOMPARE(taken, b);
        delete taken;
        QCOMPARE(layout.count(), 2);
        QCOMPARE(layout.itemAt(0), a);
        QCOMPARE(layout.itemAt(1), c);
    }

    void destructor_deletes_the_items_it_still_holds()
    {
        int deleted = 0;
        auto *layout = new FlowLayout;
        layout->addItem(new TrackedItem(10, 10, &deleted));
        layout->addItem(new TrackedItem(10, 10, &deleted));
        QLayoutItem *kept = new TrackedItem(10, 10, &deleted);
        layout->addItem(kept);
        QCOMPARE(layout->takeAt(2), kept);
        delete layout;
        QCOMPARE(deleted, 2);
        delete kept;
    }

    void hidden_widget_still_takes_a_column()
    {
        QWidget container;
        auto *layout = new FlowLayout(&container);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setMaxColumns(2);
        QList<QWidget *> widgets;
        for (int i = 0; i < 3; ++i) {
            auto *widget = new QWidget;
            widget->setFixedSize(100, 50);
            layout->addWidget(widget);
            widgets.append(widget);
        }
        widgets[1]->hide();
        container.resize(400, 300);
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        QTRY_COMPARE(widgets[2]->geometry(), QRect(150, 62, 100, 50));
        // The hidden item reports a zero hint yet still receives its spacing.
        QCOMPARE(widgets[0]->geometry(), QRect(146, 0, 100, 50));
    }

    void widgets_follow_the_container_width()
    {
        QWidget container;
        auto *layout = new FlowLayout(&container);
        layout->setContentsMargins(0, 0, 0, 0);
        QList<QWidget *> widgets;
        for (int i = 0; i < 3; ++i) {
            auto *widget = new QWidget;
            widget->setFixedSize(280, 40);
            layout->addWidget(widget);
            widgets.append(widget);
        }
        container.resize(856, 200);
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        QTRY_COMPARE(widgets[2]->pos(), QPoint(576, 0));
        container.resize(855, 200);
        QTRY_COMPARE(widgets[2]->pos(), QPoint(287, 52));
    }
};

ZORBEL_TEST_MAIN(TestFlowLayout)
#include "tst_widgets_flow_layout.moc"
