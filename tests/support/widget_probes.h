#pragma once
// Reading widgets the way a user sees them: the texts of a layout's labels and buttons,
// a button found by its text, and deferred deletions carried out now.

#include <QEvent>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QLayout;
class QPushButton;
class QWidget;

// The buttons directly in `layout`, in its order.
QList<QPushButton *> layout_buttons(QLayout *layout);
QStringList button_texts(QLayout *layout);
// The texts of the checked buttons of `layout`.
QStringList checked_texts(QLayout *layout);
// The labels directly in `layout`, as their texts.
QStringList label_texts(QLayout *layout);
// The `occurrence`-th button of `layout` with `text`, or null.
QPushButton *layout_button(QLayout *layout, const QString &text, int occurrence = 0);
// Any button below `parent` with `text`, or null.
QPushButton *button_with_text(QWidget &parent, const QString &text);

// Counts the events of one type that `watched` receives while the counter lives (a
// re-applied style sheet shows up as one QEvent::StyleChange, a repaint as one Paint).
class EventCounter : public QObject {
public:
    EventCounter(QObject *watched, QEvent::Type type)
        : type(type)
    {
        watched->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == type ? 1 : 0;
        return false;
    }

private:
    const QEvent::Type type;
};

// Deletes what deleteLater() queued, as the event loop would on its next turn.
void drain_deletions();
