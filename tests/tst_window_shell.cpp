// The window's frame: start-up against a server, discovery, message box, close.

#include "app/endpoints.h"
#include "app/logging.h"
#include "app/modal.h"
#include "app/mainwindow.h"
#include "app/single_instance.h"
#include "support/download_fixture.h"
#include "support/test_env.h"
#include "support/window_fixture.h"

#include "app/config.h"
#include "download/download_manager.h"

#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

class TestWindowShell : public QObject, WindowHarness {
    Q_OBJECT

private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void log_line_has_the_documented_format()
    {
        const QString line =
            format_log_line(QtInfoMsg, QStringLiteral("main"), QStringLiteral("成功获取动态API地址: x"));
        const QRegularExpression pattern(QStringLiteral(
            "^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2},\\d{3} \\[INFO\\] main: 成功获取动态API地址: x$"));
        QVERIFY2(pattern.match(line).hasMatch(), qPrintable(line));
        QVERIFY(format_log_line(QtWarningMsg, "main", "m").contains(" [WARNING] main: m"));
        QVERIFY(format_log_line(QtCriticalMsg, "main", "m").contains(" [ERROR] main: m"));
    }

    void game_relative_folders_become_real_nested_folders()
    {
        QTemporaryDir root;
        const QString mod_dir = join_path(root.path(), MOD_SUBDIR);
        QCOMPARE(mod_dir, root.path() + "/DreadHunger/Content/Paks/qvmods");
        QVERIFY(QDir().mkpath(mod_dir));
        QVERIFY(QDir(root.path() + "/DreadHunger/Content/Paks").exists());
        QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"DreadHunger"});
        QCOMPARE(join_path(root.path(), PAK_DIR, "DreadHunger-WindowsNoEditor.pak"),
                 root.path() + "/DreadHunger/Content/Paks/DreadHunger-WindowsNoEditor.pak");
        QCOMPARE(windows_base_name("mods\\sub/abc.pak"), QStringLiteral("abc.pak"));
    }

    void start_up_discovers_the_base_and_logs_the_endpoints()
    {
        open_window();
        QCOMPARE(BASE_URL, server->base());
        QCOMPARE(BASE_API, server->base() + "/index_skins.php");
        QVERIFY(log->contains("成功获取动态API地址: " + server->base()));
        const QStringList lines = log->lines();
        const int done = lines.indexOf("[INFO] API地址设置完成:");
        QVERIFY(done >= 0);
        QCOMPARE(lines.value(done + 1), "[INFO]   Instructions_API: " + server->base() + "/Instructions.php");
        QCOMPARE(lines.value(done + 2), "[INFO]   BASE_API: " + server->base() + "/index_skins.php");
        QCOMPARE(lines.value(done + 3),
                 "[INFO]   SKIN_DOWNLOAD_API: " + server->base() + "/subcutaneous/index_skin_download.php");
        QCOMPARE(lines.value(done + 4),
                 "[INFO]   IMAGE_DOWNLOAD_API: " + server->base() + "/subcutaneous/index_image_download.php");
    }

    void show_message_is_one_ok_button_without_icon()
    {
        open_window();
        int buttons = -1;
        QString okText;
        QMessageBox::Icon icon = QMessageBox::Warning;
        boxes->on_dialog = nullptr;
        set_modal_runner([&](QDialog &dialog) {
            auto &box = static_cast<QMessageBox &>(dialog);
            buttons = box.buttons().size();
            okText = box.button(QMessageBox::Ok)->text();
            icon = box.icon();
            return int(QMessageBox::Ok);
        });
        window->show_message("标题", "内容", "critical");
        QCOMPARE(buttons, 1);
        QCOMPARE(okText, QStringLiteral("确定"));
        QCOMPARE(icon, QMessageBox::NoIcon);
    }

    void server_text_in_a_message_is_shown_as_plain_text()
    {
        open_window();
        QTemporaryDir folder;
        const QString markup = picture_markup(folder.path());
        int height = 0;
        set_modal_runner([&](QDialog &dialog) {
            height = dialog.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->sizeHint().height();
            return int(QMessageBox::Ok);
        });
        window->show_message("下载失败", "皮肤下载失败: " + markup, "critical");
        QVERIFY2(height > 0 && height < kMarkupPictureHeight, qPrintable(QString::number(height)));
    }

    void closing_without_downloads_asks_nothing()
    {
        open_window();
        window->show();
        QVERIFY(window->close());
        QVERIFY(boxes->boxes.isEmpty());
    }

    void closing_with_pending_downloads_asks_and_no_keeps_them()
    {
        server->route(skin_download_path(), stalled_reply(200000, 20000));  // a download stays running
        open_window();
        QTemporaryDir game;
        DownloadManager *manager = DownloadManager::instance();
        QSignalSpy started(manager, &DownloadManager::task_started);
        manager->add_task(task_of(skin_record(QStringLiteral("a")), game.path()));
        manager->add_task(task_of(skin_record(QStringLiteral("b")), game.path()));
        window->show();

        boxes->answer = QMessageBox::No;
        QVERIFY(!window->close());
        QCOMPARE(boxes->seen(), QStringList{"确认关闭 | 有正在下载的任务，确定要关闭软件吗？"});
        QCOMPARE(boxes->boxes[0].buttons, QStringList({QStringLiteral("是"), QStringLiteral("否")}));
        QVERIFY(window->isVisible());
        QVERIFY(manager->has_active_tasks());
        QCOMPARE(manager->get_queue().size(), 1);

        // With only a waiting task left the question comes all the same; Enter answers No.
        boxes->answer = -1;
        QVERIFY(!window->close());
        QCOMPARE(boxes->boxes.size(), 2);
        QVERIFY(manager->has_active_tasks());
        manager->cancel_all();
    }

    void closing_with_yes_stops_every_transfer_and_leaves_no_temp_file()
    {
        server->route(skin_download_path(), stalled_reply(200000, 20000));  // a download stays running
        open_window();
        QTemporaryDir game;
        window->game_dir = game.path();
        DownloadManager *manager = DownloadManager::instance();
        QSignalSpy progress(manager, &DownloadManager::progress_updated);
        QSignalSpy cancelled(manager, &DownloadManager::task_cancelled);
        manager->add_task(task_of(skin_record(QStringLiteral("running")), game.path()));
        manager->add_task(task_of(skin_record(QStringLiteral("waiting")), game.path()));
        QVERIFY(progress.wait(10000));  // the first file is under way, then stalls
        const QString mod_dir = join_path(game.path(), MOD_SUBDIR);
        QVERIFY(!files_below(mod_dir).filter(".tmp").isEmpty());

        window->show();
        boxes->answer = QMessageBox::Yes;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(window->close());
        QVERIFY2(clock.elapsed() < 2000, "closing waited for the stalled transfer");
        QVERIFY(!manager->has_active_tasks());
        QVERIFY(!manager->get_current_task());
        QCOMPARE(cancelled.size(), 1);
        QCOMPARE(cancelled[0][0].toString(), QStringLiteral("running"));
        QCOMPARE(files_below(mod_dir).filter(".tmp"), QStringList());
    }

    void a_second_start_brings_the_first_window_forward_and_ends()
    {
        QTemporaryDir folder;
        const QString lock = folder.filePath(QStringLiteral("zorbel-skins.lock"));
        SingleInstance first(lock);
        QVERIFY(first.claim());
        QSignalSpy asked(&first, &SingleInstance::activation_requested);
        SingleInstance second(lock);
        QVERIFY(!second.claim());
        QVERIFY(asked.wait(10000));
    }
};

ZORBEL_TEST_MAIN(TestWindowShell)
#include "tst_window_shell.moc"
