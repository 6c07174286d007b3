#include "app/mainwindow.h"

#include "widgets/flow_layout.h"

#include <QColor>
#include <QCoreApplication>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kAllTag = QStringLiteral("全部");

const QString kTitleStyle = QStringLiteral("QLabel { font: bold 14px \"Microsoft YaHei\"; color: #374151; padding: 2px 0px; }");

// The same four states for both rows; only font size and padding differ.
QString toggle_button_style(const QString &object_name, const QString &font_size, const QString &padding)
{
    const QString selector = QStringLiteral("QPushButton#") + object_name;
    return selector + QStringLiteral(" { background-color: #FFFFFF; color: #374151; border-radius: 4px; font: %1 \"Microsoft YaHei\";"
                                     " border: 1px solid #D1D5DB; padding: %2; }")
                          .arg(font_size, padding)
        + selector + QStringLiteral(":hover { background-color: #F3F4F6; border: 1px solid #9CA3AF; }")
        + selector + QStringLiteral(":pressed { background-color: #E5E7EB; border: 1px solid #6B7280; }")
        + selector + QStringLiteral(":checked { background-color: #3B82F6; color: #FFFFFF; border: 1px solid #2563EB; }");
}

const QString kMainButtonStyle = toggle_button_style(QStringLiteral("main_category_btn"), QStringLiteral("12px"),
                                                     QStringLiteral("6px 12px"));
const QString kTagStyle = toggle_button_style(QStringLiteral("sub_category_tag"), QStringLiteral("11px"),
                                              QStringLiteral("4px 8px"));

const QString kPlaceholderStyle = QStringLiteral("font-size: 16px; color: #666; padding: 40px;");

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

// A row of buttons that scrolls sideways only; the container is the row's FlowLayout owner.
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
    title->setStyleSheet(kTitleStyle);
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

// Replaces the card area with one centred line and paints it at once, before the slower
// work that follows the click.
void show_card_area_notice(MainWindow *window, const QString &text)
{
    window->_clear_layout(window->flow_layout);
    auto *notice = new QLabel(text);
    notice->setAlignment(Qt::AlignCenter);
    notice->setStyleSheet(kPlaceholderStyle);
    window->flow_layout->addWidget(notice);
    QCoreApplication::processEvents();
}

} // namespace

QVBoxLayout *MainWindow::_create_category_navigation()
{
    auto *navigation = new QVBoxLayout;
    navigation->setContentsMargins(0, 0, 0, 0);
    navigation->setSpacing(2);
    navigation->addWidget(make_title(QStringLiteral("主分类")));
    navigation->addWidget(make_row(&main_category_container, &main_category_layout));
    navigation->addWidget(make_title(QStringLiteral("子分类")));
    navigation->addWidget(make_row(&subcategory_container, &subcategory_layout));
    return navigation;
}

void MainWindow::_update_category_ui()
{
    _clear_layout(main_category_layout);
    _clear_layout(subcategory_layout);
    for (const QString &name : qAsConst(main_categories)) {
        QPushButton *button = make_toggle_button(name, QStringLiteral("main_category_btn"), 32, kMainButtonStyle);
        connect(button, &QPushButton::clicked, this, [this, name] { _select_main_category(name); });
        main_category_layout->addWidget(button);
    }
}

void MainWindow::_select_main_category(const QString &category_name)
{
    const QList<QPushButton *> buttons = buttons_of(main_category_layout);
    for (QPushButton *button : buttons)
        button->setChecked(false);
    for (QPushButton *button : buttons) {
        if (button->text() == category_name) {
            button->setChecked(true);
            break;
        }
    }
    current_category_name = category_name;
    current_subcategory_name.reset();
    ++_selection_serial;
    // A list still scheduled by a tag click belongs to the old choice.
    if (_load_skins_timer)
        _load_skins_timer->stop();

    show_card_area_notice(this, QStringLiteral("请选择子分类..."));

    _update_subcategory_ui();
    _show_instructions_content();
}

void MainWindow::_update_subcategory_ui()
{
    _clear_layout(subcategory_layout);
    if (!current_category_name)
        return;
    const QStringList *names = find_subcategories(subcategories, *current_category_name);
    if (!names)
        return;

    // A tag acts only while its row is the chosen category's: a click on the old row that
    // arrives while a main-category click is under way belongs to a choice already left.
    const QString row = *current_category_name;
    QPushButton *all = make_toggle_button(kAllTag, QStringLiteral("sub_category_tag"), 28, kTagStyle);
    connect(all, &QPushButton::clicked, this, [this, row] {
        if (current_category_name == row)
            _select_subcategory(std::nullopt);
    });
    subcategory_layout->addWidget(all);

    for (const QString &name : *names) {
        QPushButton *tag = make_toggle_button(name, QStringLiteral("sub_category_tag"), 28, kTagStyle);
        auto *shadow = new QGraphicsDropShadowEffect(tag);
        shadow->setBlurRadius(4);
        shadow->setColor(QColor(0, 0, 0, 30));
        shadow->setOffset(0, 1);
        tag->setGraphicsEffect(shadow);
        connect(tag, &QPushButton::clicked, this, [this, row, name] {
            if (current_category_name == row)
                _select_subcategory(name);
        });
        subcategory_layout->addWidget(tag);
    }
}

void MainWindow::_select_subcategory(const std::optional<QString> &subcategory_name)
{
    const QList<QPushButton *> tags = buttons_of(subcategory_layout);
    for (QPushButton *tag : tags)
        tag->setChecked(false);
    for (QPushButton *tag : tags) {
        const QString text = tag->text();
        // The "全部" tag stands for no subcategory; a subcategory really named so checks nothing.
        const bool match = text == kAllTag ? !subcategory_name : subcategory_name && text == *subcategory_name;
        if (match) {
            tag->setChecked(true);
            break;
        }
    }
    current_subcategory_name = subcategory_name;
    const quint64 selection = ++_selection_serial;

    show_card_area_notice(this, QStringLiteral("正在加载皮肤列表..."));
    // A click handled while the notice was painted has chosen anew; its outcome stands.
    if (selection != _selection_serial)
        return;

    if (!_load_skins_timer) {
        _load_skins_timer = new QTimer(this);
        _load_skins_timer->setSingleShot(true);
        _load_skins_timer->setInterval(100);
        connect(_load_skins_timer, &QTimer::timeout, this, &MainWindow::_load_skins);
    }
    _load_skins_timer->start();
}
