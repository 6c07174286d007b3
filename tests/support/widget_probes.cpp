#include "support/widget_probes.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

QList<QPushButton *> layout_buttons(QLayout *layout)
{
    QList<QPushButton *> found;
    for (int i = 0; i < layout->count(); ++i)
        if (auto *button = qobject_cast<QPushButton *>(layout->itemAt(i)->widget()))
            found.append(button);
    return found;
}

QStringList button_texts(QLayout *layout)
{
    QStringList texts;
    for (QPushButton *button : layout_buttons(layout))
        texts.append(button->text());
    return texts;
}

QStringList checked_texts(QLayout *layout)
{
    QStringList texts;
    for (QPushButton *button : layout_buttons(layout))
        if (button->isChecked())
            texts.append(button->text());
    return texts;
}

QStringList label_texts(QLayout *layout)
{
    QStringList texts;
    for (int i = 0; i < layout->count(); ++i)
        if (auto *label = qobject_cast<QLabel *>(layout->itemAt(i)->widget()))
            texts.append(label->text());
    return texts;
}

QPushButton *layout_button(QLayout *layout, const QString &text, int occurrence)
{
    for (QPushButton *button : layout_buttons(layout))
        if (button->text() == text && occurrence-- == 0)
            return button;
    return nullptr;
}

QPushButton *button_with_text(QWidget &parent, const QString &text)
{
    for (QPushButton *button : parent.findChildren<QPushButton *>())
        if (button->text() == text)
            return button;
    return nullptr;
}

void drain_deletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
