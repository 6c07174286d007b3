#include "widgets/flow_geometry.h"

int floor_half(int value)
{
    // Integer division truncates towards zero; shift the negative odd case down by one.
    return value >= 0 ? value / 2 : -((1 - value) / 2);
}

namespace {

void place_line(const QVector<QSize> &hints, int first, int end, int left, int y, int available_width, int space_x,
                QVector<QRect> &rects)
{
    int total_width = space_x * (end - first - 1);
    for (int i = first; i < end; ++i)
        total_width += hints[i].width();
    int x = left + floor_half(available_width - total_width);
    for (int i = first; i < end; ++i) {
        rects[i] = QRect(QPoint(x, y), hints[i]);
        x += hints[i].width() + space_x;
    }
}

}  // namespace

QVector<QRect> flow_item_rects(const QVector<QSize> &hints, const QRect &rect, const QMargins &margins,
                               FlowSpacing spacing, int max_columns)
{
    QVector<QRect> rects(hints.size());
    const int left = rect.left() + margins.left();
    const int available_width = rect.width() - margins.left() - margins.right();
    int y = rect.top() + margins.top();
    int line_start = 0;
    int line_width = 0;
    int line_height = 0;

    for (int i = 0; i < hints.size(); ++i) {
        const int item_width = hints[i].width();
        const int in_line = i - line_start;
        const bool overflows = line_width + item_width + spacing.horizontal > available_width;
        const bool full = max_columns > 0 && in_line >= max_columns;
        if (in_line > 0 && (overflows || full)) {
            place_line(hints, line_start, i, left, y, available_width, spacing.horizontal, rects);
            y += line_height + spacing.vertical;
            line_start = i;
            line_width = 0;
            line_height = 0;
        }
        line_width += item_width + (i > line_start ? spacing.horizontal : 0);
        line_height = qMax(line_height, hints[i].height());
    }
    if (line_start < hints.size())
        place_line(hints, line_start, hints.size(), left, y, available_width, spacing.horizontal, rects);
    return rects;
}

QSize flow_minimum_size(const QVector<QSize> &minimum_sizes, const QMargins &margins)
{
    QSize size;
    for (const QSize &item : minimum_sizes)
        size = size.expandedTo(item);
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}
