#pragma once
// Places items left to right in lines, wraps when the next item would not fit or the
// line holds the maximum number of columns, and centres every line. Items keep their
// own size hint; nothing is stretched.

#include <QLayout>
#include <QList>
#include <QPair>

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget *parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;

    void setSpacing(int spacing);
    // The (horizontal, vertical) pair; QLayout::spacing() keeps its int meaning.
    QPair<int, int> spacingPair() const;
    int horizontalSpacing() const;
    int verticalSpacing() const;
    void setHorizontalSpacing(int spacing);
    void setVerticalSpacing(int spacing);
    void setMaxColumns(int max_columns);
    int maxColumns() const;

    void setGeometry(const QRect &rect) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;

private:
    void _doLayout(const QRect &rect);
    void _layoutLine(const QList<QLayoutItem *> &items, const QRect &rect, int y, int lineHeight,
                     int availableWidth);

    QList<QLayoutItem *> _items;
    int _hSpacing = 8;
    int _vSpacing = 12;
    int _maxColumns = 0;
};
