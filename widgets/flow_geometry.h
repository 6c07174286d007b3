#pragma once
// Where a flow layout puts its items, as plain arithmetic on size hints so that it can be
// checked without any widget. Lines fill left to right, wrap when the next item would
// overflow the width or the line is full, and each line is centred on its own.

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QVector>

struct FlowSpacing {
    int horizontal = 8;
    int vertical = 12;
};

// floor(value / 2), also for negative values (-5 gives -3, not -2).
int floor_half(int value);

// One rectangle per hint, in the same order. `max_columns` <= 0 means no column limit.
// Every hint takes a slot, whatever its size; lines below `rect` are placed all the same.
QVector<QRect> flow_item_rects(const QVector<QSize> &hints, const QRect &rect, const QMargins &margins,
                               FlowSpacing spacing, int max_columns);

// The largest item in each dimension plus the margins. Starts from an invalid (-1, -1)
// size, so an empty layout reports the margins less one pixel each way.
QSize flow_minimum_size(const QVector<QSize> &minimum_sizes, const QMargins &margins);
