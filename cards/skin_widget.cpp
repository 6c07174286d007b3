#include "cards/skin_widget.h"

#include "app/config.h"
#include "app/modal.h"
#include "cards/skin_records.h"
#include "download/download_manager.h"
#include "widgets/cached_drop_shadow.h"
#include "widgets/image_preview_dialog.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

const QString &SkinWidget::ACTION_BUTTON_STYLE = style::action_button;
const QString &SkinWidget::BUSY_BUTTON_STYLE = style::busy_button;
const QString &SkinWidget::CANCEL_BUTTON_STYLE = style::cancel_button;

int SkinWidget::_cover_load_counter = 0;

namespace {

const QString kDownloading = QStringLiteral("下载中...");
const QString kDownloadingBare = QStringLiteral("下载中");
const QString kWaiting = QStringLiteral("等待下载");
const QString kInstall = QStringLiteral("安装");
const QString kUninstall = QStringLiteral("卸载");

}  // namespace

SkinWidget::SkinWidget(const QJsonObject &skin_data_, const QString &game_dir_)
    : QWidget(nullptr)
{
    const QString missing = first_missing_field(skin_data_);
    if (!missing.isEmpty())
        throw std::invalid_argument((QStringLiteral("皮肤数据缺少") + missing + QStringLiteral("字段")).toStdString());

    skin_data = skin_data_;
    game_dir = game_dir_;
    _skin_name = skin_name(skin_data);
    download_manager = DownloadManager::instance();
    cover_loading = false;

    init_ui();
    _set_loading_placeholder();
    _check_installation_status();

    connect(download_manager, &DownloadManager::task_started, this, &SkinWidget::_handle_download_started);
    connect(download_manager, &DownloadManager::progress_updated, this, &SkinWidget::_handle_download_progress);
    connect(download_manager, &DownloadManager::task_completed, this, &SkinWidget::_handle_download_completed);
    connect(download_manager, &DownloadManager::task_failed, this, &SkinWidget::_handle_download_failed);
    connect(download_manager, &DownloadManager::task_cancelled, this, &SkinWidget::_handle_download_cancelled);
    connect(download_manager, &DownloadManager::queue_updated, this, &SkinWidget::_handle_queue_updated);

    _check_queue_status();

    QTimer::singleShot(100, this, &SkinWidget::_async_load_cover);
}

void SkinWidget::init_ui()
{
    setFixedSize(CARD_WIDTH, 260);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // A plain QWidget subclass paints its style-sheet background only with this set.
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(style::card);

    main_layout = new QVBoxLayout;
    main_layout->setContentsMargins(12, 12, 12, 12);
    main_layout->setSpacing(10);

    cover_container = new QWidget;
    cover_container->setFixedSize(CARD_WIDTH - 24, COVER_HEIGHT);

    cover = new QLabel(cover_container);
    cover->setGeometry(0, 0, CARD_WIDTH - 24, COVER_HEIGHT);
    cover->setAlignment(Qt::AlignCenter);
    cover->setStyleSheet(style::card_cover);

    name_label = new QLabel(skin_name(skin_data), cover_container);
    name_label->setGeometry(0, COVER_HEIGHT - 48, CARD_WIDTH - 24, 48);
    name_label->setTextFormat(Qt::PlainText);  // the server's name, never markup
    name_label->setStyleSheet(style::card_name);
    name_label->setAlignment(Qt::AlignBottom | Qt::AlignHCenter);

    zoom_button = new QPushButton(QStringLiteral("🔍"), cover_container);
    zoom_button->setGeometry(CARD_WIDTH - 24 - 36, 8, 32, 32);
    zoom_button->setStyleSheet(style::card_zoom_button);
    zoom_shadow = new QGraphicsDropShadowEffect(zoom_button);
    zoom_shadow->setBlurRadius(8);
    zoom_shadow->setOffset(1, 1);
    zoom_shadow->setColor(QColor(0, 0, 0, 20));
    zoom_button->setGraphicsEffect(zoom_shadow);

    action_button = new QPushButton(kInstall);
    action_button->setFixedSize(100, 36);
    action_button->setStyleSheet(ACTION_BUTTON_STYLE);

    cancel_button = new QPushButton(QStringLiteral("取消"));
    cancel_button->setFixedSize(80, 36);
    cancel_button->setStyleSheet(CANCEL_BUTTON_STYLE);
    cancel_button->hide();

    auto *btn_layout = new QHBoxLayout;
    btn_layout->addWidget(action_button);
    btn_layout->addWidget(cancel_button);
    btn_layout->setAlignment(Qt::AlignCenter);

    main_layout->addWidget(cover_container);
    main_layout->addLayout(btn_layout);
    setLayout(main_layout);

    setup_shadow();

    connect(action_button, &QPushButton::clicked, this, &SkinWidget::_handle_action);
    connect(cancel_button, &QPushButton::clicked, this, &SkinWidget::_handle_cancel);
    connect(zoom_button, &QPushButton::clicked, this, &SkinWidget::show_enlarged_image);
}

void SkinWidget::setup_shadow()
{
    // Cached: the action button inside repaints with every percentage of a download, and
    // Qt's own effect would re-render and re-blur the whole card each time.
    auto *shadow = new CachedDropShadowEffect(this);
    shadow->setBlurRadius(8);
    shadow->setOffset(0, 2);
    shadow->setColor(QColor(0, 0, 0, 20));
}

// Progress arrives once per received piece, to every card on the page: the setters
// below leave the button untouched when nothing changes, so a repeated report costs a
// comparison and no re-polish or repaint.
void SkinWidget::_set_button_state(const QString &text, const QString &style)
{
    _shown_progress = -1;  // the button shows something else from here on
    if (action_button->text() != text)
        action_button->setText(text);
    if (action_button->styleSheet() != style)
        action_button->setStyleSheet(style);
}

void SkinWidget::_set_busy(const QString &text)
{
    _set_button_state(text, BUSY_BUTTON_STYLE);
    action_button->setEnabled(false);
    cancel_button->setVisible(true);
}

void SkinWidget::_set_idle(const QString &text, const QString &style)
{
    _set_button_state(text, style);
    action_button->setEnabled(true);
    cancel_button->setVisible(false);
}

void SkinWidget::_handle_download_started(const QString &skin_id)
{
    if (skin_id != _skin_name)
        return;
    _set_busy(kDownloading);
}

void SkinWidget::_handle_download_progress(const QString &skin_id, int progress)
{
    // Every card hears every report, tens of thousands per install, and nearly all of them
    // repeat the percentage shown: both cases end at one comparison.
    if (skin_id != _skin_name || progress == _shown_progress)
        return;
    _set_button_state(QStringLiteral("下载中 ") + QString::number(progress) + QStringLiteral("%"), BUSY_BUTTON_STYLE);
    _shown_progress = progress;
}

void SkinWidget::_handle_download_completed(const QString &skin_id)
{
    if (skin_id != _skin_name)
        return;
    _set_idle(kUninstall, UNINSTALL_BUTTON_STYLE);
}

void SkinWidget::_handle_download_failed(const QString &skin_id, const QString &error)
{
    if (skin_id != _skin_name)
        return;
    _set_idle(kInstall, INSTALL_BUTTON_STYLE);
    emit show_message_signal(QStringLiteral("下载失败"),
                             QStringLiteral("皮肤下载失败: ") + error + QStringLiteral("，请检查网络连接后重试"),
                             QStringLiteral("critical"));
}

void SkinWidget::_handle_download_cancelled(const QString &skin_id)
{
    if (skin_id != _skin_name)
        return;
    _set_idle(kInstall, INSTALL_BUTTON_STYLE);
}

void SkinWidget::_handle_queue_updated()
{
    DownloadManager *dm = DownloadManager::instance();
    const DownloadTask current_task = dm->get_current_task();
    const QString text = action_button->text();

    if (current_task && task_skin_id(current_task) == _skin_name) {
        if (text != kDownloading && text != kDownloadingBare) {
            _set_button_state(kDownloading, BUSY_BUTTON_STYLE);
            action_button->setEnabled(false);
        }
        cancel_button->setVisible(true);
        return;
    }

    bool in_queue = false;
    for (const DownloadTask &task : dm->get_queue()) {
        if (task && task_skin_id(task) == _skin_name) {
            in_queue = true;
            break;
        }
    }
    const bool busy_text = text == kWaiting || text == kDownloading || text == kDownloadingBare;
    if (in_queue && !busy_text)
        _set_busy(kWaiting);
    else if (!in_queue && busy_text)
        _set_idle(kInstall, INSTALL_BUTTON_STYLE);
}

void SkinWidget::_check_queue_status()
{
    _handle_queue_updated();
}

void SkinWidget::show_enlarged_image(bool)
{
    const QPixmap pixmap = _load_cover_image();
    if (pixmap.isNull()) {
        emit show_message_signal(QStringLiteral("提示"), QStringLiteral("该皮肤暂无封面图片，将显示默认图片"),
                                 QStringLiteral("info"));
        return;
    }
    ImagePreviewDialog dialog(pixmap, app_icon_path());
    run_modal(dialog);
}
