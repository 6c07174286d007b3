// The game folder of the main window: detection from the running game (or, without one,
// from the Steam libraries), validation, and the one stored setting.

#include "app/mainwindow.h"

#include "app/config.h"
#include "app/logging.h"
#include "gamedir/game_folder.h"
#include "gamedir/game_folder_row.h"
#include "gamedir/process_list.h"
#include "gamedir/settings_store.h"
#include "gamedir/steam_library.h"
#include "download/set_aside.h"

void MainWindow::_detect_by_process(bool)
{
    Q_ASSERT(_is_gui_thread());
    const ProcessList processes = list_processes();
    if (!processes.ok()) {
        _folder_row->show_failure(QStringLiteral("进程检测失败: ") + processes.error);
        return;
    }
    const std::optional<ProcessInfo> game = find_game_process(*processes);
    QString game_root_dir;
    if (game && !game->exe_path.isEmpty()) {
        game_root_dir = game_root_from_exe(game->exe_path);
    } else {
        // A running game wins; without one, the Steam libraries may still know the folder.
        game_root_dir = steam_game_folder();
        if (game_root_dir.isEmpty()) {
            _folder_row->show_failure(QStringLiteral("未检测到Dread Hunger进程 (请先启动Dread Hunger)"));
            return;
        }
    }
    const QString previous_game_dir = game_dir;
    const QStringList errors = _validate_game_dir(game_root_dir);
    // Kept even when the check fails: the user may fix the folder's rights without
    // detecting again.
    game_dir = game_root_dir;
    if (!errors.isEmpty())
        _folder_row->show_failure(QStringLiteral("检测到游戏但权限验证失败: ") + join_errors(errors));
    else
        _folder_row->show_success(QStringLiteral("检测成功，权限验证通过: ") + shown_path(game_dir));
    const QString save_failure = _save_settings();
    if (!save_failure.isEmpty()) {
        // The folder stays for this run all the same: the cards must work with it too,
        // not with the old one.
        if (game_dir != previous_game_dir)
            _refresh_all_skins_permissions();
        _folder_row->show_failure(QStringLiteral("进程检测失败: ") + save_failure);
        return;
    }
    if (errors.isEmpty())
        _refresh_all_skins_permissions();
    _refresh_skins();
}

QStringList MainWindow::_validate_game_dir(const QString &path)
{
    return validate_game_dir(path);
}

void MainWindow::_load_settings()
{
    Q_ASSERT(_is_gui_thread());
    game_dir = read_game_dir_setting(*settings);
    if (!game_dir.isEmpty()) {
        // An install that the last run left half-way may hold an installed file set aside.
        restore_set_aside_copies(join_path(game_dir, MOD_SUBDIR));
        _folder_row->show_success(QStringLiteral("皮肤目录已加载"));
        _refresh_skins();
        _refresh_all_skins_permissions();
    } else {
        _folder_row->show_detect_hint();
    }
}

// Returns the failure's text when the store cannot be written (empty once stored), so
// that the detection reports it instead of a folder that would be gone at the next start.
QString MainWindow::_save_settings()
{
    Q_ASSERT(_is_gui_thread());
    const Outcome<void> written = write_game_dir_setting(*settings, game_dir);
    if (!written.ok())
        return written.error;
    if (!game_dir.isEmpty())
        _refresh_all_skins_permissions();
    return QString();
}
