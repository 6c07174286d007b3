#include "widgets/flow_layout.h"

#include "widgets/flow_geometry.h"

#include <QVector>
#include <QWidget>

FlowLayout::FlowLayout(QWidget *parent)
    : QLayout(parent)
{
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem *item)
{
    _items.append(item);
}

int FlowLayout::count() const
{
    return _items.size();
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return index >= 0 && index < _items.size() ? _items.at(index) : nullptr;
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    return index >= 0 && index < _items.size() ? _items.takeAt(index) : nullptr;
}

void FlowLayout::setSpacing(int spacing)
{
    _hSpacing = spacing;
    _vSpacing = spacing;
}

QPair<int, int> FlowLayout::spacingPair() const
{
    return {_hSpacing, _vSpacing};
}

int FlowLayout::horizontalSpacing() const
{
    return _hSpacing;
}

int FlowLayout::verticalSpacing() const
{
    return _vSpacing;
}

void FlowLayout::setHorizontalSpacing(int spacing)
{
    _hSpacing = spacing;
}

void FlowLayout::setVerticalSpacing(int spacing)
{
    _vSpacing = spacing;
}

void FlowLayout::setMaxColumns(int max_columns)
{
    _maxColumns = max_columns;
}

int FlowLayout::maxColumns() const
{
    return _maxColumns;
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    _doLayout(rect);
}

QSize FlowLayout::sizeHint() const
{
    return minimumSize();
}

QSize FlowLayout::minimumSize() const
{
    QVector<QSize> sizes;
    sizes.reserve(_items.size());
    for (const QLayoutItem *item : _items)
        sizes.append(item->minimumSize());
    return flow_minimum_size(sizes, contentsMargins());
}

void FlowLayout::_doLayout(const QRect &rect)
{
    QVector<QSize> hints;
    hints.reserve(_items.size());
    for (const QLayoutItem *item : _items)
        hints.append(item->sizeHint());
    const QVector<QRect> rects = flow_item_rects(hints, rect, contentsMargins(), {_hSpacing, _vSpacing}, _maxColumns);
    for (int i = 0; i < _items.size(); ++i)
        _items[i]->setGeometry(rects[i]);
}

void clear_layout(QLayout *layout)
{
    while (layout->count() > 0) {
        QLayoutItem *item = layout->takeAt(0);
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
}
