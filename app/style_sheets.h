#pragma once
// Every style sheet of the program, by the region that wears it. Widgets take their look
// from here by name and never spell style text themselves, so one file shows the whole look.

#include <QString>

// The card's action button: installable, installed, installed but replaced in the catalogue since.
extern const QString INSTALL_BUTTON_STYLE;
extern const QString UNINSTALL_BUTTON_STYLE;
extern const QString UPDATE_BUTTON_STYLE;

namespace style {

// Main window. `window` is inherited by every child and by dialogs parented to the window:
// buttons without a style of their own (the game-folder row) get the blue look from it.
extern const QString window;
extern const QString dir_label;
extern const QString message_box;

// Category rows: row titles, main-category buttons ("main_category_btn"), subcategory
// tags ("sub_category_tag").
extern const QString category_title;
extern const QString main_category_button;
extern const QString subcategory_tag;

// Card area and pagination bar. `placeholder` is the one-line notice and the empty state.
extern const QString card_area;
extern const QString placeholder;
extern const QString instructions;
extern const QString page_button;
extern const QString page_label;

// Skin card. The action button's busy look and the plain "安装" look after an uninstall,
// and the cancel button beside it.
extern const QString card;
extern const QString card_cover;
extern const QString card_name;
extern const QString card_zoom_button;
extern const QString action_button;
extern const QString busy_button;
extern const QString cancel_button;
extern const QString success_dialog;
extern const QString success_icon;

// Download queue dialog: its frame and buttons, the task cards (running and waiting, each
// with status, name, note and cancel button), the heading of the waiting tasks, and the
// empty state.
extern const QString queue_dialog;
extern const QString queue_title;
extern const QString queue_stats;
extern const QString queue_clear_button;
extern const QString queue_close_button;
extern const QString queue_task_card;
extern const QString queue_task_name;
extern const QString queue_running_status;
extern const QString queue_running_progress;
extern const QString queue_running_cancel;
extern const QString queue_waiting_heading;
extern const QString queue_waiting_status;
extern const QString queue_waiting_note;
extern const QString queue_waiting_cancel;
extern const QString queue_empty_state;
extern const QString queue_empty_title;
extern const QString queue_empty_line;
extern const QString queue_empty_hint;

}  // namespace style
