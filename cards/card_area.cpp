#include "cards/card_area.h"

#include "app/style_sheets.h"
#include "cards/skin_widget.h"
#include "widgets/flow_layout.h"

#include <QLabel>

CardArea::CardArea(QWidget *parent)
    : QWidget(parent)
    , _layout(new FlowLayout(this))
{
    // A QWidget subclass paints its style-sheet background only with this set.
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(style::card_area);
    _layout->setMaxColumns(3);
}

void CardArea::add_card(SkinWidget *card)
{
    _layout->addWidget(card);
    _cards.append(card);
}

void CardArea::clear()
{
    for (int index = 0; index < _layout->count(); ++index) {
        if (auto *card = qobject_cast<SkinWidget *>(_layout->itemAt(index)->widget()))
            card->retire();
    }
    clear_layout(_layout);
    _cards.clear();
    SkinWidget::_cover_load_counter = 0;
}

void CardArea::show_only(QWidget *content)
{
    clear();
    _layout->addWidget(content);
}

void CardArea::show_notice(const QString &text)
{
    auto *notice = new QLabel(text);
    notice->setTextFormat(Qt::PlainText);
    notice->setAlignment(Qt::AlignCenter);
    notice->setStyleSheet(style::placeholder);
    show_only(notice);
}
