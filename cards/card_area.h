#pragma once
// The area between the category rows and the pagination bar. It shows either the cards of
// one page or one centred text (a notice, the empty state, the instructions), and it owns
// the list of the cards it shows.

#include <QList>
#include <QWidget>

class FlowLayout;
class SkinWidget;

class CardArea : public QWidget {
    Q_OBJECT
public:
    explicit CardArea(QWidget *parent = nullptr);

    // Three cards a line, each line centred.
    FlowLayout *flow_layout() const { return _layout; }

    // The cards shown, in page order. A reference: the window exposes it under its own name.
    QList<SkinWidget *> &cards() { return _cards; }
    void add_card(SkinWidget *card);

    // Removes everything shown and empties the card list. The cards are retired (they
    // start no further cover loads) and deleted later; the cover stagger starts again,
    // since whatever comes next is a new page.
    void clear();

    // Replaces the content with `content` alone.
    void show_only(QWidget *content);
    // Replaces the content with one centred line in the placeholder look.
    void show_notice(const QString &text);

private:
    FlowLayout *_layout;
    QList<SkinWidget *> _cards;
};
