#pragma once
// The bar under the card area: "上一页", the page label, "下一页" and "刷新页面". It shows
// the page it is told and reports what the user asked for; nothing else writes its label or
// its buttons' states, nor wires its buttons. GUI thread only.

#include <QWidget>

class QLabel;
class QPushButton;

class PaginationBar : public QWidget {
    Q_OBJECT
public:
    explicit PaginationBar(QWidget *parent = nullptr);

    // "第 page+1 页 / 共 total_pages 页"; each page button is enabled only where a page lies
    // in its direction.
    void show_page(int page, int total_pages);

    // For reading only (the window exposes them under its own names).
    QPushButton *prev_button() const { return _prev; }
    QPushButton *next_button() const { return _next; }
    QPushButton *refresh_button() const { return _refresh; }
    QLabel *label() const { return _label; }

signals:
    void previous_requested();
    void next_requested();
    void refresh_requested();

private:
    QPushButton *_prev;
    QPushButton *_next;
    QPushButton *_refresh;
    QLabel *_label;
};
