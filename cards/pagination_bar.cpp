#include "cards/pagination_bar.h"

#include "app/style_sheets.h"
#include "cards/skin_records.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

QPushButton *make_page_button(const QString &text)
{
    auto *button = new QPushButton(text);
    button->setFixedSize(70, 28);
    button->setStyleSheet(style::page_button);
    return button;
}

}  // namespace

PaginationBar::PaginationBar(QWidget *parent)
    : QWidget(parent)
    , _prev(make_page_button(QStringLiteral("上一页")))
    , _next(make_page_button(QStringLiteral("下一页")))
    , _refresh(make_page_button(QStringLiteral("刷新页面")))
    , _label(new QLabel(page_label_text(0, 1)))
{
    _label->setStyleSheet(style::page_label);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(8);
    layout->addStretch(1);
    layout->addWidget(_prev);
    layout->addWidget(_label);
    layout->addWidget(_next);
    layout->addSpacing(25);
    layout->addWidget(_refresh);
    layout->addStretch(1);

    connect(_prev, &QPushButton::clicked, this, &PaginationBar::previous_requested);
    connect(_next, &QPushButton::clicked, this, &PaginationBar::next_requested);
    connect(_refresh, &QPushButton::clicked, this, &PaginationBar::refresh_requested);
}

void PaginationBar::show_page(int page, int total_pages)
{
    _label->setText(page_label_text(page, total_pages));
    _prev->setEnabled(page > 0);
    _next->setEnabled(page < total_pages - 1);
}
