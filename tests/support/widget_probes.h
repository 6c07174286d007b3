#pragma once
// Reading widgets the way a user sees them: the texts of a layout's labels and buttons,
// a button found by its text, and deferred deletions carried out now.

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QList>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QStringList>

// The buttons directly in `layout`, in its order.
inline QList<QPushButton *> layout_buttons(QLayout *layout)
{
    QList<QPushButton *> found;
    for (int i = 0; i < layout->count(); ++i)
        if (auto *button = qobject_cast<QPushButton *>(layout->itemAt(i)->widget()))
            found.append(button);
    return found;
}

inline QStringList button_texts(QLayout *layout)
{
    QStringList texts;
    for (QPushButton *button : layout_buttons(layout))
        texts.append(button->text());
    return texts;
}

// The texts of the checked buttons of `layout`.
inline QStringList checked_texts(QLayout *layout)
{
    QStringList texts;
    for (QPushButton *button : layout_buttons(layout))
        if (button->isChecked())
            texts.append(button->text());
    return texts;
}

// The labels directly in `layout`, as their texts.
inline QStringList label_texts(QLayout *layout)
{
    QStringList texts;
    for (int i = 0; i < layout->count(); ++i)
        if (auto *label = qobject_cast<QLabel *>(layout->itemAt(i)->widget()))
            texts.append(label->text());
    return texts;
}

// The `occurrence`-th button of `layout` with `text`, or null.
inline QPushButton *layout_button(QLayout *layout, const QString &text, int occurrence = 0)
{
    for (QPushButton *button : layout_buttons(layout))
        if (button->text() == text && occurrence-- == 0)
            return button;
    return nullptr;
}

// Any button below `parent` with `text`, or null.
inline QPushButton *button_with_text(QWidget &parent, const QString &text)
{
    for (QPushButton *button : parent.findChildren<QPushButton *>())
        if (button->text() == text)
            return button;
    return nullptr;
}

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
inline void drain_deletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
