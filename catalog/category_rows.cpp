#include "catalog/category_rows.h"

#include "app/style_sheets.h"
#include "widgets/flow_layout.h"

#include <QColor>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

const QString kAllTag = QStringLiteral("全部");
const QString kMainButtonName = QStringLiteral("main_category_btn");
const QString kTagName = QStringLiteral("sub_category_tag");

QPushButton *make_toggle_button(const QString &text, const QString &object_name, int height, const QString &style)
{
    auto *button = new QPushButton(text);
    button->setObjectName(object_name);
    button->setCheckable(true);
    button->setFixedHeight(height);
    button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    button->setStyleSheet(style);
    return button;
}

// A row that scrolls sideways only; the container owns the row's FlowLayout.
QScrollArea *make_row(QWidget **container, FlowLayout **layout)
{
    auto *area = new QScrollArea;
    area->setWidgetResizable(true);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setFixedHeight(85);
    *container = new QWidget;
    *layout = new FlowLayout(*container);
    area->setWidget(*container);
    return area;
}

QLabel *make_title(const QString &text)
{
    auto *title = new QLabel(text);
    title->setStyleSheet(style::category_title);
    return title;
}

QList<QPushButton *> buttons_of(QLayout *layout)
{
    QList<QPushButton *> buttons;
    for (int i = 0; i < layout->count(); ++i)
        if (auto *button = qobject_cast<QPushButton *>(layout->itemAt(i)->widget()))
            buttons.append(button);
    return buttons;
}

// Unchecks every button, then checks the first one that matches.
template <typename Match> void check_first(QLayout *layout, Match matches)
{
    const QList<QPushButton *> buttons = buttons_of(layout);
    for (QPushButton *button : buttons)
        button->setChecked(false);
    for (QPushButton *button : buttons) {
        if (matches(button->text())) {
            button->setChecked(true);
            return;
        }
    }
}

}  // namespace

CategoryRows::CategoryRows(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(make_title(QStringLiteral("主分类")));
    layout->addWidget(make_row(&_main_container, &_main_layout));
    layout->addWidget(make_title(QStringLiteral("子分类")));
    layout->addWidget(make_row(&_sub_container, &_sub_layout));
}

void CategoryRows::show_main_categories(const QStringList &names)
{
    clear_layout(_main_layout);
    clear_subcategories();
    for (const QString &name : names) {
        QPushButton *button = make_toggle_button(name, kMainButtonName, 32, style::main_category_button);
        connect(button, &QPushButton::clicked, this, [this, name] { emit main_category_clicked(name); });
        _main_layout->addWidget(button);
    }
}

void CategoryRows::show_subcategories(const QString &row, const QStringList &names)
{
    clear_subcategories();
    QPushButton *all = make_toggle_button(kAllTag, kTagName, 28, style::subcategory_tag);
    connect(all, &QPushButton::clicked, this, [this, row] { emit subcategory_clicked(row, std::nullopt); });
    _sub_layout->addWidget(all);

    for (const QString &name : names) {
        QPushButton *tag = make_toggle_button(name, kTagName, 28, style::subcategory_tag);
        auto *shadow = new QGraphicsDropShadowEffect(tag);
        shadow->setBlurRadius(4);
        shadow->setColor(QColor(0, 0, 0, 30));
        shadow->setOffset(0, 1);
        tag->setGraphicsEffect(shadow);
        connect(tag, &QPushButton::clicked, this, [this, row, name] { emit subcategory_clicked(row, name); });
        _sub_layout->addWidget(tag);
    }
}

void CategoryRows::clear_subcategories()
{
    clear_layout(_sub_layout);
}

void CategoryRows::check_main_category(const QString &name)
{
    check_first(_main_layout, [&name](const QString &text) { return text == name; });
}

void CategoryRows::check_subcategory(const std::optional<QString> &name)
{
    check_first(_sub_layout, [&name](const QString &text) { return text == kAllTag ? !name : name && text == *name; });
}
