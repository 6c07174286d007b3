// Temporary definitions of operations that are still being built in their subsystem.
// Each subsystem removes its entries here when it lands; this file then goes away.
#include "app/mainwindow.h"
#include "download/download_list_dialog.h"
#include "download/download_manager.h"
#include "widgets/flow_layout.h"
#include "update/update_worker.h"

void MainWindow::_detect_by_process(bool checked) {}
QStringList MainWindow::_validate_game_dir(const QString &path) { return {}; }
void MainWindow::_load_settings() {}
void MainWindow::_save_settings() {}
void MainWindow::_open_skin_dir(bool checked) {}
void MainWindow::_refresh_skins(bool checked) {}
void MainWindow::_refresh_current_page_images() {}
void MainWindow::_refresh_all_skins_permissions() {}
void MainWindow::_cleanup_temp_files() {}
