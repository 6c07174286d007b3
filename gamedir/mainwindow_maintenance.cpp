// Keeping the view in step with the game folder: opening the mod folder, re-checking
// the cards, refetching the covers of the page, and the clean-up at close. Nothing here
// throws: each step reports through its log lines and the status label.

#include "app/mainwindow.h"

#include "app/config.h"
#include "app/logging.h"
#include "cards/cover_cache.h"
#include "cards/skin_widget.h"
#include "gamedir/game_folder.h"
#include "gamedir/game_folder_row.h"
#include "gamedir/temp_cleanup.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

void MainWindow::_open_skin_dir(bool)
{
    Q_ASSERT(_is_gui_thread());
    if (game_dir.isEmpty()) {
        show_message(QStringLiteral("提示"), QStringLiteral("请先检测游戏目录"), QStringLiteral("info"));
        return;
    }
    const QString skin_dir = join_path(game_dir, MOD_SUBDIR);
    if (!QFileInfo::exists(skin_dir)) {
        show_message(QStringLiteral("提示"), QStringLiteral("皮肤目录不存在，请先下载皮肤"), QStringLiteral("info"));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(skin_dir)))
        show_message(QStringLiteral("打开失败"),
                     QStringLiteral("无法打开皮肤目录：") + QStringLiteral("系统未能用文件管理器打开 ")
                         + shown_path(skin_dir),
                     QStringLiteral("critical"));
}

void MainWindow::_refresh_skins(bool)
{
    Q_ASSERT(_is_gui_thread());
    if (!current_category_name || current_category_name->isEmpty())
        return;
    _refresh_current_page_images();
}

void MainWindow::_refresh_current_page_images()
{
    const QList<SkinWidget *> skin_widgets = get_current_page_skin_widgets();
    if (skin_widgets.isEmpty()) {
        log_info(QStringLiteral("当前页面没有皮肤组件需要刷新"));
        return;
    }
    int refreshed_count = 0;
    for (SkinWidget *card : skin_widgets) {
        const QString url = cover_url(card->skin_data);
        if (url.isEmpty())  // no cover, main category or subcategory: nothing to fetch
            continue;
        const QString cache_path = cover_cache_path(url);
        if (QFileInfo::exists(cache_path)) {
            QFile cached(cache_path);
            if (cached.remove())
                log_info(QStringLiteral("已清理图片缓存: ") + shown_path(cache_path));
            else
                log_warning(QStringLiteral("清理缓存失败: ") + shown_path(cache_path) + QStringLiteral(" - ")
                            + cached.errorString());
        }
        card->load_cover();
        ++refreshed_count;
    }
    log_info(QStringLiteral("已刷新 %1 个皮肤的图片缓存").arg(refreshed_count));
}

void MainWindow::_refresh_all_skins_permissions()
{
    Q_ASSERT(_is_gui_thread());
    if (!game_dir.isEmpty()) {
        const QStringList errors = _validate_game_dir(game_dir);
        if (!errors.isEmpty())
            _folder_row->show_failure(QStringLiteral("目录权限验证失败: ") + join_errors(errors));
        else
            _folder_row->show_success(QStringLiteral("目录权限验证通过: ") + shown_path(game_dir));
    }
    // A copy: a card's check must not be able to change the list under the loop.
    const QList<SkinWidget *> skin_widgets = get_all_skin_widgets();
    // Cards made before a detection still hold the old folder; without this a card
    // would keep offering "安装" for an installed skin and refuse installs.
    for (SkinWidget *card : skin_widgets)
        card->set_game_dir(game_dir);
    log_info(QStringLiteral("已刷新整个软件权限状态，共 %1 个皮肤组件").arg(skin_widgets.size()));
}

void MainWindow::_cleanup_temp_files()
{
    Q_ASSERT(_is_gui_thread());
    log_info(QStringLiteral("执行定期临时文件清理"));
    if (game_dir.isEmpty())
        return;
    const QString mod_dir = join_path(game_dir, MOD_SUBDIR);
    if (!QFileInfo(mod_dir).isDir())
        return;
    remove_transfer_leftovers(mod_dir);
}
