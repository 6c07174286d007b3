#pragma once
// The program's one window. Its operations live beside the subsystem they belong to:
//   app/      construction, message box, icon, close, discovery   (mainwindow.cpp, mainwindow_endpoints.cpp)
//   catalog/  catalogue loading, category rows, layout, instructions
//   cards/    page view and pagination
//   gamedir/  detection, validation, settings, maintenance actions
//   update/   version check and self-update
// A region with state of its own is a widget of its own that the window owns: the card area
// and the pagination bar (cards/), the category rows (catalog/), the game-folder row with
// the status line (gamedir/). The window's operations call them; the members below that
// name their parts point into them.

#include "catalog/catalog.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <optional>

class CardArea;
class CategoryRows;
class FlowLayout;
class GameFolderRow;
class PaginationBar;
class QCloseEvent;
class QFile;
class QLabel;
class QLayout;
class QNetworkAccessManager;
class QNetworkReply;
class QPushButton;
class QSettings;
class QThread;
class QTimer;
class QVBoxLayout;
class QWidget;
class SkinWidget;
class UpdateWorker;

class MainWindow : public QMainWindow {
    Q_OBJECT

    // The regions with state of their own. Declared first: the card area exists before
    // `all_skin_widgets` refers to its list.
    CardArea *_card_area;
    PaginationBar *_pagination = nullptr;
    CategoryRows *_category_rows = nullptr;
    GameFolderRow *_folder_row = nullptr;

public:
    // ===================================================================================
    // GUI thread. The window, its widgets and everything down to the "any thread" part
    // below belong to the thread the window was made on. The entry points (the slots of
    // buttons, timers and signals, and the operations that other code calls) assert it in
    // debug builds.
    // ===================================================================================
    MainWindow();
    ~MainWindow() override;

    // --- what the window knows ---
    QVector<QJsonObject> skins;                       // current selection, filtered and sorted
    std::optional<QString> current_category_name;     // absent until a main category is chosen
    std::optional<QString> current_subcategory_name;  // none: the "全部" tag
    int current_page = 0;
    int items_per_page = 6;
    QString game_dir;  // empty while no folder is known
    QString instructions_content;
    QSettings *settings = nullptr;  // opened through gamedir/settings_store.h

    // --- catalogue (load_categories) ---
    std::optional<QJsonArray> all_skins_data;  // absent until the first successful parse
    QStringList main_categories;
    SubcategoryMap subcategories;

    // --- widgets (init_ui) ---
    // Read-only views into the regions, set once by init_ui: the regions write their texts
    // and states and report their buttons through signals of their own, which the window
    // connects. Nothing else writes these widgets or wires their buttons.
    QVBoxLayout *main_layout = nullptr;
    QLabel *dir_label = nullptr;        // the status line; written only through _folder_row
    QWidget *flow_container = nullptr;  // the card area
    FlowLayout *flow_layout = nullptr;
    QList<SkinWidget *> &all_skin_widgets;  // the card area's cards
    QWidget *pagination_widget = nullptr;   // the pagination bar
    QPushButton *prev_btn = nullptr;
    QPushButton *next_btn = nullptr;
    QLabel *page_label = nullptr;
    QPushButton *refresh_btn = nullptr;
    QWidget *main_category_container = nullptr;  // the category rows
    FlowLayout *main_category_layout = nullptr;
    QWidget *subcategory_container = nullptr;
    FlowLayout *subcategory_layout = nullptr;

    // --- shell (app/) ---
    void show_message(const QString &title, const QString &message,
                      const QString &message_type = QStringLiteral("info"));
    QString get_icon_path() const;
    void _show_download_queue(bool checked = false);
    void _setup_api_urls();

    // --- catalogue, navigation, layout, instructions (catalog/) ---
    void load_categories();
    void _load_skins();
    QVBoxLayout *_create_category_navigation();
    void _update_category_ui();
    void _select_main_category(const QString &category_name);
    void _update_subcategory_ui();
    void _select_subcategory(const std::optional<QString> &subcategory_name);
    void init_ui();
    QWidget *_create_pagination_widget();
    // Empties a layout; for the card area's layout the card list goes with it.
    void _clear_layout(QLayout *layout);
    void _load_instructions();
    void _show_instructions_content();
    // The list load a tag click scheduled (none before the first click).
    QTimer *load_skins_timer() const { return _load_skins_timer; }

    // --- page view (cards/) ---
    void show_current_page();
    void _prev_page(bool checked = false);
    void _next_page(bool checked = false);
    QList<SkinWidget *> get_current_page_skin_widgets() const;
    QList<SkinWidget *> &get_all_skin_widgets();

    // --- game folder and maintenance (gamedir/) ---
    void _detect_by_process(bool checked = false);
    QStringList _validate_game_dir(const QString &path);
    void _load_settings();
    QString _save_settings();  // the failure's text; empty once stored
    void _open_skin_dir(bool checked = false);
    void _refresh_skins(bool checked = false);
    void _refresh_current_page_images();
    void _refresh_all_skins_permissions();
    void _cleanup_temp_files();

    // --- version check and the update thread's start and end (update/) ---
    void _silent_check_update();
    std::optional<QJsonObject> _get_latest_info();
    void _start_update_thread(const QJsonObject &info);
    void _on_update_finished();
    void _on_update_error(const QString &error_msg);
    // Both made by _start_update_thread, forgotten once the thread has finished.
    QThread *update_thread = nullptr;
    UpdateWorker *update_worker = nullptr;

    // ===================================================================================
    // Any thread. Called from the update thread, these hand their work to the GUI thread.
    // ===================================================================================
    // True on the thread the window lives on; GUI-only entry points assert it.
    bool _is_gui_thread() const;
    // Shows the box and ends the process with status 1. Another thread waits until the GUI
    // thread has taken the call and then does nothing further.
    void _force_close_program(const QString &message);
    // "📥 " + message in the status line; another thread's texts arrive in the order sent.
    void _show_update_progress(const QString &message);

    // ===================================================================================
    // Update thread. The self-update procedure, run by UpdateWorker on update_thread; the
    // transfer members are made, used and released there, by that thread alone.
    // ===================================================================================
    void _start_update_process(const QJsonObject &info);
    bool _download_new_version(const QString &download_url, const QString &save_path);
    void _on_download_progress(qint64 bytes_received, qint64 bytes_total);
    void _on_ready_read();
    void _on_download_finished();
    bool _update_exe(const QString &new_exe);
    QNetworkAccessManager *download_manager = nullptr;
    QNetworkReply *download_reply = nullptr;
    QFile *download_file = nullptr;
    double last_update = 0;
    bool download_success = false;
    bool download_completed = false;

protected:
    void closeEvent(QCloseEvent *event) override;  // GUI thread

private:
    // Navigation: a main-category click drops the list load a tag click scheduled, and
    // every click raises the serial, so a click handled while a notice paints wins.
    QTimer *_load_skins_timer = nullptr;
    quint64 _selection_serial = 0;

    // Page view: a page asked for during a build is built again after it.
    bool _building_page = false;
    bool _page_rebuild_pending = false;
    // One pass of show_current_page.
    void _build_page();
    // Adds the cards of records [from, to) and counts them; none when a newer request or
    // another view took the card area meanwhile.
    std::optional<int> _add_page_cards(const QVector<QJsonObject> &records, int from, int to);
};
