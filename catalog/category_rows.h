#pragma once
// The two rows of category buttons above the card area: the main categories, then the tags
// of the chosen main category led by "全部". Each row scrolls sideways; its buttons are
// checkable and at most one of them is checked. The rows only show and report clicks; which
// category is chosen is the window's state.

#include <QStringList>
#include <QWidget>

#include <optional>

class FlowLayout;

class CategoryRows : public QWidget {
    Q_OBJECT
public:
    explicit CategoryRows(QWidget *parent = nullptr);

    // One "main_category_btn" button per name; the tag row is emptied.
    void show_main_categories(const QStringList &names);
    // "全部" and one "sub_category_tag" tag per name, for the main category `row`.
    void show_subcategories(const QString &row, const QStringList &names);
    void clear_subcategories();

    // Checks the first button with this text and unchecks the others.
    void check_main_category(const QString &name);
    // Checks the "全部" tag for no subcategory, otherwise the first tag with this text (a
    // subcategory really named "全部" checks nothing).
    void check_subcategory(const std::optional<QString> &name);

    // For reading only (the window exposes them under its own names): the rows' buttons
    // are made and wired here, and report through the signals below.
    QWidget *main_category_container() const { return _main_container; }
    FlowLayout *main_category_layout() const { return _main_layout; }
    QWidget *subcategory_container() const { return _sub_container; }
    FlowLayout *subcategory_layout() const { return _sub_layout; }

signals:
    void main_category_clicked(const QString &name);
    // `row` is the main category whose tags were shown when the tag was made; no name
    // stands for the "全部" tag.
    void subcategory_clicked(const QString &row, const std::optional<QString> &name);

private:
    QWidget *_main_container = nullptr;
    FlowLayout *_main_layout = nullptr;
    QWidget *_sub_container = nullptr;
    FlowLayout *_sub_layout = nullptr;
};
