#pragma once
// One skin of the catalogue as a card: cover with the name over its lower edge, a zoom
// button that opens the preview, and an action button whose text is the card's state
// ("安装", "等待下载", "下载中...", "下载中 N%", "卸载", or "更新" for an install the catalogue
// has replaced since) with a cancel button beside it.
// The card follows the download queue's signals; it never reaches the window.

#include "app/style_sheets.h"
#include "cards/skin_files.h"

#include <QJsonObject>
#include <QPixmap>
#include <QString>
#include <QWidget>

class DownloadManager;
class QLabel;
class QPushButton;
class QGraphicsDropShadowEffect;
class QVBoxLayout;

class SkinWidget : public QWidget {
    Q_OBJECT
public:
    static constexpr int CARD_WIDTH = 280;
    static constexpr int COVER_HEIGHT = 185;
    static const QString &ACTION_BUTTON_STYLE;
    static const QString &BUSY_BUTTON_STYLE;
    static const QString &CANCEL_BUTTON_STYLE;

    // Throws std::invalid_argument("皮肤数据缺少<key>字段") when a required key is absent.
    SkinWidget(const QJsonObject &skin_data, const QString &game_dir);

    // --- the skin and where it goes ---
    QJsonObject skin_data;
    QString game_dir;  // the window's game folder when the card was made or last re-checked
    // The window's game folder was found or checked again: the card takes it and checks
    // its installation state anew. The one way the folder reaches a card after its making.
    void set_game_dir(const QString &dir);

    // --- widgets (init_ui) ---
    QVBoxLayout *main_layout = nullptr;
    QWidget *cover_container = nullptr;
    QLabel *cover = nullptr;
    QLabel *name_label = nullptr;
    QPushButton *zoom_button = nullptr;
    QGraphicsDropShadowEffect *zoom_shadow = nullptr;
    QPushButton *action_button = nullptr;
    QPushButton *cancel_button = nullptr;
    void init_ui();
    void setup_shadow();
    void show_enlarged_image(bool checked = false);

    // --- download queue: the button follows the manager's signals ---
    DownloadManager *download_manager = nullptr;
    void _handle_download_started(const QString &skin_id);
    void _handle_download_progress(const QString &skin_id, int progress);
    void _handle_download_completed(const QString &skin_id);
    void _handle_download_failed(const QString &skin_id, const QString &error);
    void _handle_download_cancelled(const QString &skin_id);
    void _handle_queue_updated();
    void _check_queue_status();

    // --- installation status, install, cancel, uninstall ---
    SkinFileNames _get_filenames() const;
    void _check_installation_status();
    void _handle_action(bool checked = false);
    void _start_download();
    void _handle_cancel(bool checked = false);
    void _uninstall_skin();
    void _show_success_dialog(const QString &title, const QString &message);

    // --- cover ---
    // Loads started since the card area last changed its content; staggers the cover
    // requests of a page. The card area sets it back to 0 whenever it is cleared.
    static int _cover_load_counter;
    // How long the load with this counter value waits before it fetches.
    static int _cover_load_delay_ms(int counter);
    bool cover_loading = false;
    void _set_loading_placeholder();
    void _set_placeholder_image();
    void _async_load_cover();
    void load_cover();
    void _start_cover_download();
    QPixmap _load_cover_image();
    void _set_cover_pixmap(const QPixmap &pixmap);

    // The page no longer shows the card; it only waits for its deletion. Its pending
    // cover timers then start nothing: no blocking request for a card nobody sees, and
    // no shift in the stagger of the page that replaced it.
    void retire();

signals:
    void show_message_signal(const QString &title, const QString &message, const QString &kind);
    void cover_loaded();

private:
    // Sets the action button's text and style, each only when it differs.
    void _set_button_state(const QString &text, const QString &style);
    // Waiting or downloading: disabled, busy style, cancel button shown.
    void _set_busy(const QString &text);
    // Installable or installed: enabled, cancel button hidden.
    void _set_idle(const QString &text, const QString &style);

    QString _skin_name;  // "name" as text: the identity of the skin's download task
    bool _retired = false;
    int _shown_progress = -1;  // the percentage on the button, -1 while it shows none
};
