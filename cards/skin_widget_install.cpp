// The card's link to the game folder and the download queue: installation status,
// install, cancel and uninstall.

#include "cards/skin_widget.h"

#include "app/config.h"
#include "app/logging.h"
#include "app/modal.h"
#include "cards/skin_files.h"
#include "download/download_manager.h"
#include "download/safe_file_ops.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kSuccessDialogStyle = QStringLiteral(
    "QDialog { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4CAF50, stop:1 #45a049);"
    " border-radius: 15px; border: 2px solid #2E7D32; }"
    "QLabel { color: white; font-size: 16px; font-weight: bold; background: transparent; border: none; }"
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:1 #F0F0F0);"
    " border: 2px solid #2E7D32; border-radius: 10px; padding: 8px 16px; font-size: 14px;"
    " font-weight: bold; color: #2E7D32; min-width: 80px; }"
    "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #E8F5E8, stop:1 #D0E8D0);"
    " border: 2px solid #1B5E20; }"
    "QPushButton:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #C8E6C9, stop:1 #A5D6A7); }");

} // namespace

std::pair<QString, QString> SkinWidget::_get_filenames() const
{
    const SkinFileNames names = skin_file_names(skin_data);
    return {names.sig_name, names.pak_name};
}

void SkinWidget::_check_installation_status()
{
    bool installed = false;
    if (!game_dir.isEmpty()) {
        const auto [sig_name, pak_name] = _get_filenames();
        installed = skin_installed(mod_dir_of(game_dir), SkinFileNames{sig_name, pak_name});
    }
    if (installed)
        _set_button_state(QStringLiteral("卸载"), UNINSTALL_BUTTON_STYLE);
    else
        _set_button_state(QStringLiteral("安装"), INSTALL_BUTTON_STYLE);
}

void SkinWidget::_handle_action(bool)
{
    const QString pak_filename = skin_data.value(QStringLiteral("pak_original")).toVariant().toString();
    if (!pak_filename.endsWith(QStringLiteral(".pak"))) {
        emit show_message_signal(QStringLiteral("付费皮肤"), QStringLiteral("此皮肤需要购买: ") + pak_filename,
                                 QStringLiteral("info"));
        return;
    }
    if (action_button->text() == QStringLiteral("卸载"))
        _uninstall_skin();
    else
        _start_download();
}

void SkinWidget::_start_download()
{
    if (game_dir.isEmpty()) {
        emit show_message_signal(QStringLiteral("游戏目录未设置"), QStringLiteral("请先检测游戏目录才能安装皮肤"),
                                 QStringLiteral("warning"));
        return;
    }
    // The button follows the manager's signals; a repeated request is dropped there.
    download_manager->add_task(make_download_task(_skin_name, skin_data.toVariantMap(), game_dir));
}

void SkinWidget::_handle_cancel(bool)
{
    // Reset first: cancelling a running task waits for its worker to stop.
    _set_idle(QStringLiteral("安装"), INSTALL_BUTTON_STYLE);
    if (!download_manager->cancel_task(_skin_name))
        emit show_message_signal(QStringLiteral("提示"), QStringLiteral("该任务不在下载队列中"), QStringLiteral("info"));
}

void SkinWidget::_uninstall_skin()
{
    if (game_dir.isEmpty()) {
        emit show_message_signal(QStringLiteral("游戏目录未设置"), QStringLiteral("请先检测游戏目录才能卸载皮肤"),
                                 QStringLiteral("warning"));
        return;
    }
    const auto [sig_name, pak_name] = _get_filenames();
    const QString mod_dir = mod_dir_of(game_dir);

    bool deleted = false;
    for (const QString &file_path : installed_skin_files(mod_dir, SkinFileNames{sig_name, pak_name})) {
        if (safe_remove(file_path)) {
            deleted = true;
            log_info(QStringLiteral("已删除文件: ") + shown_path(file_path));
        } else {
            log_warning(QStringLiteral("删除文件失败: ") + shown_path(file_path));
        }
    }

    if (deleted) {
        _set_button_state(QStringLiteral("安装"), ACTION_BUTTON_STYLE);
        _show_success_dialog(QStringLiteral("卸载成功"), QStringLiteral("皮肤已成功卸载"));
        return;
    }
    emit show_message_signal(QStringLiteral("卸载提示"),
                             QStringLiteral("未找到已安装的皮肤文件\n搜索路径: ") + mod_dir
                                 + QStringLiteral("\n目标文件: ") + sig_name + QStringLiteral(", ") + pak_name
                                 + QStringLiteral("\n\n可能原因：文件已被删除或未正确安装"),
                             QStringLiteral("info"));
}

void SkinWidget::_show_success_dialog(const QString &title, const QString &message)
{
    // On the heap: the card, and the dialog with it, may be deleted while the dialog is
    // open (a page rebuilt by an event handled meanwhile); a dialog on this card's stack
    // would then be deleted twice.
    const QPointer<QDialog> dialog = new QDialog(this);
    dialog->setWindowTitle(title);
    dialog->setFixedSize(300, 200);
    dialog->setStyleSheet(kSuccessDialogStyle);

    auto *layout = new QVBoxLayout(dialog);
    auto *icon_label = new QLabel(QStringLiteral("✓"));
    icon_label->setAlignment(Qt::AlignCenter);
    icon_label->setStyleSheet(
        QStringLiteral("font-size: 48px; color: white; background: transparent; border: none;"));
    auto *message_label = new QLabel(message);
    message_label->setAlignment(Qt::AlignCenter);
    message_label->setWordWrap(true);
    auto *ok_button = new QPushButton(QStringLiteral("确定"));
    QObject::connect(ok_button, &QPushButton::clicked, dialog, &QDialog::accept);

    layout->addWidget(icon_label);
    layout->addWidget(message_label);
    layout->addStretch();
    layout->addWidget(ok_button);
    run_modal(*dialog);
    delete dialog;  // null, and nothing to do, when the card took it along
}
