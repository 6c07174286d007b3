// The wrapping, centring flow layout: line breaks, centring, column limit, item access.

#include "support/test_env.h"
#include "widgets/flow_geometry.h"
#include "widgets/flow_layout.h"

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

using Gaps = QPair<int, int>;  // horizontal, vertical

QList<QRect> geometries(const FlowLayout &layout)
{
    QList<QRect> result;
    for (int i = 0; i < layout.count(); ++i)
        result.append(layout.itemAt(i)->geometry());
    return result;
}

}  // namespace

Q_DECLARE_METATYPE(QMargins)

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

    void lines_wrap_and_centre_data()
    {
        QTest::addColumn<QMargins>("margins");
        QTest::addColumn<Gaps>("spacing");
        QTest::addColumn<int>("columns");  // the column limit, 0 for none
        QTest::addColumn<QVector<QSize>>("items");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QList<QRect>>("placed");
        const QMargins none;
        const Gaps standard(8, 12);
        const QVector<QSize> wide3(3, QSize(280, 100));
        // The last line lies below the rectangle, placed all the same.
        QTest::newRow("column limit makes lines of three, three, one")
            << none << standard << 3 << QVector<QSize>(7, QSize(280, 100)) << QRect(0, 0, 1000, 300)
            << QList<QRect>{{72, 0, 280, 100},    {360, 0, 280, 100},   {648, 0, 280, 100},  {72, 112, 280, 100},
                            {360, 112, 280, 100}, {648, 112, 280, 100}, {360, 224, 280, 100}};
        // Available width 1000 once the margins are taken off.
        QTest::newRow("margins and the rectangle's origin shift every line")
            << QMargins(15, 5, 25, 0) << standard << 3 << QVector<QSize>(4, QSize(280, 100)) << QRect(100, 50, 1040, 10)
            << QList<QRect>{{187, 55, 280, 100}, {475, 55, 280, 100}, {763, 55, 280, 100}, {475, 167, 280, 100}};
        QTest::newRow("without limit, a width that exactly fits")
            << none << standard << 0 << wide3 << QRect(0, 0, 856, 100)
            << QList<QRect>{{0, 0, 280, 100}, {288, 0, 280, 100}, {576, 0, 280, 100}};
        // 575 spare pixels: floor(575 / 2) = 287 for the lone item of the second line.
        QTest::newRow("without limit, one pixel short")
            << none << standard << 0 << wide3 << QRect(0, 0, 855, 100)
            << QList<QRect>{{143, 0, 280, 100}, {431, 0, 280, 100}, {287, 112, 280, 100}};
        // 5 wider than the 1000 available: alone on its line, left of the margin by floor(-5 / 2).
        QTest::newRow("over-wide line centred with floor division")
            << QMargins(10, 0, 10, 0) << standard << 0 << QVector<QSize>{{1005, 40}, {100, 40}}
            << QRect(0, 0, 1020, 100) << QList<QRect>{{7, 0, 1005, 40}, {460, 52, 100, 40}};
        QTest::newRow("lines top-aligned, the next clears the tallest")
            << none << qMakePair(10, 4) << 0 << QVector<QSize>{{100, 30}, {100, 90}, {100, 20}} << QRect(0, 0, 220, 500)
            << QList<QRect>{{5, 0, 100, 30}, {115, 0, 100, 90}, {60, 94, 100, 20}};
        QTest::newRow("one spacing sets both gaps")
            << none << qMakePair(5, 5) << 2 << QVector<QSize>(3, QSize(100, 50)) << QRect(0, 0, 205, 200)
            << QList<QRect>{{0, 0, 100, 50}, {105, 0, 100, 50}, {52, 55, 100, 50}};
    }

    void lines_wrap_and_centre()
    {
        QFETCH(QMargins, margins);
        QFETCH(Gaps, spacing);
        QFETCH(int, columns);
        QFETCH(QVector<QSize>, items);
        QFETCH(QRect, rect);
        FlowLayout layout;
        layout.setContentsMargins(margins);
        if (spacing.first == spacing.second) {
            layout.setSpacing(spacing.first);
        } else {
            layout.setHorizontalSpacing(spacing.first);
            layout.setVerticalSpacing(spacing.second);
        }
        QCOMPARE(layout.spacingPair(), spacing);
        QCOMPARE(qMakePair(layout.horizontalSpacing(), layout.verticalSpacing()), spacing);
        layout.setMaxColumns(columns);
        for (const QSize &size : items)
            layout.addItem(new TrackedItem(size.width(), size.height()));
        layout.setGeometry(rect);
        QTEST(geometries(layout), "placed");
    }

    void floor_half_rounds_towards_minus_infinity()
    {
        QCOMPARE(floor_half(5), 2);
        QCOMPARE(floor_half(-5), -3);
        QCOMPARE(floor_half(-4), -2);
        QCOMPARE(floor_half(-1), -1);
        QCOMPARE(floor_half(0), 0);
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
