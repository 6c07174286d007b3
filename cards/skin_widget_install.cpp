// The card's link to the game folder and the download queue: installation status,
// install, cancel and uninstall.

#include "cards/skin_widget.h"

#include "app/config.h"
#include "app/style_sheets.h"
#include "app/logging.h"
#include "app/modal.h"
#include "cards/skin_files.h"
#include "download/download_manager.h"
#include "download/install_manifest.h"
#include "download/safe_file_ops.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

SkinFileNames SkinWidget::_get_filenames() const
{
    return skin_file_names(skin_data);
}

void SkinWidget::set_game_dir(const QString &dir)
{
    game_dir = dir;
    _check_installation_status();
}

void SkinWidget::_check_installation_status()
{
    if (game_dir.isEmpty()) {
        _set_button_state(QStringLiteral("安装"), INSTALL_BUTTON_STYLE);
        return;
    }
    const QString mod_dir = mod_dir_of(game_dir);
    const SkinFileNames names = _get_filenames();
    if (!skin_installed(mod_dir, names))
        _set_button_state(QStringLiteral("安装"), INSTALL_BUTTON_STYLE);
    else if (skin_outdated(mod_dir, names, skin_data))
        _set_button_state(QStringLiteral("更新"), UPDATE_BUTTON_STYLE);  // a click installs anew
    else
        _set_button_state(QStringLiteral("卸载"), UNINSTALL_BUTTON_STYLE);
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
        emit show_message_signal(QStringLiteral("提示"), QStringLiteral("该任务不在下载队列中"),
                                 QStringLiteral("info"));
}

void SkinWidget::_uninstall_skin()
{
    if (game_dir.isEmpty()) {
        emit show_message_signal(QStringLiteral("游戏目录未设置"), QStringLiteral("请先检测游戏目录才能卸载皮肤"),
                                 QStringLiteral("warning"));
        return;
    }
    const SkinFileNames names = _get_filenames();
    const QString mod_dir = mod_dir_of(game_dir);

    bool deleted = false;
    for (const QString &file_path : installed_skin_files(mod_dir, names)) {
        if (safe_remove(file_path)) {
            deleted = true;
            log_info(QStringLiteral("已删除文件: ") + shown_path(file_path));
        } else {
            log_warning(QStringLiteral("删除文件失败: ") + shown_path(file_path));
        }
    }

    install_manifest::forget(mod_dir, {names.pak_name, names.sig_name});
    if (deleted) {
        _set_button_state(QStringLiteral("安装"), ACTION_BUTTON_STYLE);
        _show_success_dialog(QStringLiteral("卸载成功"), QStringLiteral("皮肤已成功卸载"));
        return;
    }
    emit show_message_signal(QStringLiteral("卸载提示"),
                             QStringLiteral("未找到已安装的皮肤文件\n搜索路径: ") + mod_dir
                                 + QStringLiteral("\n目标文件: ") + names.sig_name + QStringLiteral(", ")
                                 + names.pak_name + QStringLiteral("\n\n可能原因：文件已被删除或未正确安装"),
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
    dialog->setStyleSheet(style::success_dialog);

    auto *layout = new QVBoxLayout(dialog);
    auto *icon_label = new QLabel(QStringLiteral("✓"));
    icon_label->setAlignment(Qt::AlignCenter);
    icon_label->setStyleSheet(style::success_icon);
    auto *message_label = new QLabel(message);
    message_label->setTextFormat(Qt::PlainText);
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
