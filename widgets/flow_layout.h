#pragma once
// Places items left to right in lines, wraps when the next item would not fit or the
// line holds the maximum number of columns, and centres every line. Items keep their
// own size hint; nothing is stretched. Changing the spacing or the column limit takes
// effect at the next geometry pass; the setters do not ask for one.

#include <QLayout>
#include <QList>
#include <QPair>

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget *parent = nullptr);
    // Deletes the items still held (not their widgets), as Qt's own layouts do.
    ~FlowLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;

    // Sets both the horizontal and the vertical gap. QLayout::setSpacing is not virtual:
    // call it on a FlowLayout, not through a QLayout pointer.
    void setSpacing(int spacing);
    // The (horizontal, vertical) pair; QLayout::spacing() keeps its int meaning.
    QPair<int, int> spacingPair() const;
    int horizontalSpacing() const;
    int verticalSpacing() const;
    void setHorizontalSpacing(int spacing);
    void setVerticalSpacing(int spacing);
    // Largest number of items in one line; 0 or less means no limit.
    void setMaxColumns(int max_columns);
    int maxColumns() const;

    void setGeometry(const QRect &rect) override;
    // Both are the largest item plus the margins; they do not grow with the number of lines.
    QSize sizeHint() const override;
    QSize minimumSize() const override;

private:
    void _doLayout(const QRect &rect);

    QList<QLayoutItem *> _items;
    int _hSpacing = 8;
    int _vSpacing = 12;
    int _maxColumns = 0;
};

// Empties any layout. Its widgets are hidden at once (out of the layout they would still
// paint where they stood, under whatever replaces them) and deleted once control returns
// to the event loop.
void clear_layout(QLayout *layout);
