// The game folder in the window: the stored folder at start, detection from a running
// game or from the Steam libraries, and what the status label and the settings store
// hold afterwards.

#include "app/logging.h"
#include "app/config.h"
#include "app/mainwindow.h"
#include "cards/skin_widget.h"
#include "gamedir/game_folder.h"
#include "gamedir/process_list.h"
#include "gamedir/steam_library.h"
#include "support/game_files.h"
#include "support/game_process.h"
#include "support/steam_home.h"
#include "support/stored_setting.h"
#include "support/test_env.h"
#include "support/widget_probes.h"
#include "support/window_fixture.h"
#include "widgets/flow_layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <stdexcept>

namespace {

const QString kAskForDetection = QStringLiteral("请先启动Dread Hunger游戏后点击检测目录");
const QString kNoGame = QStringLiteral("✗ 未检测到Dread Hunger进程 (请先启动Dread Hunger)");

QString canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

// A folder as a running process or Steam's library list names it: in the system's own form.
QString as_listed(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The game folder stored before the window starts.
enum class Stored { Nothing, Game, FolderWithoutGame };
// The processes the window's detection sees.
enum class Processes {
    Real,          // the system's own list
    NoGame,        // the system's list without any game
    NamelessGame,  // a game process whose path cannot be read
    Unreadable,    // the list cannot be read at all
};

}  // namespace

Q_DECLARE_METATYPE(Stored)
Q_DECLARE_METATYPE(Processes)

class TestGamedirWindow : public QObject, WindowHarness {
    Q_OBJECT

private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    // What the label says after start (and, with `detect`, after a detection) for the
    // folder stored before (%1 in `label`; %2: its game file) and the processes listed.
    void status_label_data()
    {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<Processes>("processes");
        QTest::addColumn<bool>("detect");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("cards_refreshed");  // a stored folder makes the start re-check the cards
        const QString valid = QStringLiteral("✓ 目录权限验证通过: %1");
        const QString lost = QStringLiteral("✗ 目录权限验证失败: 无效目录: 未找到必需文件 %2");

        QTest::newRow("start without stored folder asks for a detection")
            << Stored::Nothing << Processes::Real << false << kAskForDetection << false;
        QTest::newRow("start with stored folder validates it again")
            << Stored::Game << Processes::Real << false << valid << true;
        QTest::newRow("start with stored folder that lost its game file")
            << Stored::FolderWithoutGame << Processes::Real << false << lost << true;
        QTest::newRow("without a game process nothing changes")
            << Stored::Game << Processes::NoGame << true << kNoGame << true;
        QTest::newRow("a game process without readable path counts as absent")
            << Stored::Nothing << Processes::NamelessGame << true << kNoGame << false;
        QTest::newRow("an unreadable process list is reported in the label")
            << Stored::Nothing << Processes::Unreadable << true << QStringLiteral("✗ 进程检测失败: 进程列表不可用")
            << false;
    }

    void status_label()
    {
        QFETCH(Stored, stored);
        QFETCH(Processes, processes);
        QFETCH(bool, detect);
        QFETCH(QString, label);
        QFETCH(bool, cards_refreshed);
        QTemporaryDir tmp;
        const QString folder = stored == Stored::Nothing ? QString() : tmp.path();
        if (stored == Stored::Game)
            make_game(folder);
        store_game_dir(folder);
        switch (processes) {
        case Processes::Real:
            break;
        case Processes::NoGame:
            list_only_games_below(QStringLiteral("/nowhere"));
            break;
        case Processes::NamelessGame:
            list_fixed({{QStringLiteral("bash"), QStringLiteral("/bin/bash")}, {GAME_EXE_NAME, QString()}});
            break;
        case Processes::Unreadable:
            set_process_lister([]() -> ProcessList { return Failure{QStringLiteral("进程列表不可用")}; });
            break;
        }
        MainWindow &main = open_window();
        if (detect)
            main._detect_by_process();

        label.replace(QStringLiteral("%1"), shown_path(folder));
        label.replace(QStringLiteral("%2"), shown_path(game_pak_file(folder)));
        QCOMPARE(main.dir_label->text(), label);
        QCOMPARE(main.game_dir, folder);
        QCOMPARE(stored_game_dir(), folder);
        QVERIFY(folder.isEmpty() || QFileInfo(mod_folder(folder)).isDir());
        QCOMPARE(log->lines().contains(QStringLiteral("[INFO] 已刷新整个软件权限状态，共 0 个皮肤组件")),
                 cards_refreshed);
        QCOMPARE(boxes->boxes.size(), 0);
    }

    void detection_stores_the_running_game_s_folder_data()
    {
        QTest::addColumn<bool>("game_file");
        QTest::addColumn<QString>("label");  // %1: the folder, %2: its game file
        QTest::newRow("finds the running game and stores its folder") << true << "✓ 目录权限验证通过: %1";
        QTest::newRow("a folder without game file is stored all the same")
            << false << "✗ 目录权限验证失败: 无效目录: 未找到必需文件 %2";
    }

    void detection_stores_the_running_game_s_folder()
    {
        QFETCH(bool, game_file);
        QFETCH(QString, label);
        QTemporaryDir tmp;
        const QString root = canonical(tmp.path()) + QStringLiteral("/Games/DH");
        if (game_file)
            make_game(root);
        GameProcess game(game_exe_below(root));
        QVERIFY(game.started());
        list_only_games_below(root);
        MainWindow *main = &open_window();
        QPushButton *detect = button_with_text(*main, QStringLiteral("检测目录"));
        QVERIFY(detect);
        detect->click();

        QCOMPARE(main->game_dir, as_listed(root));
        QCOMPARE(stored_game_dir(), as_listed(root));
        label.replace(QStringLiteral("%1"), shown_path(root))
            .replace(QStringLiteral("%2"), shown_path(game_pak_file(root)));
        QCOMPARE(main->dir_label->text(), label);
        QVERIFY(QFileInfo(mod_folder(root)).isDir());
    }

    void without_a_game_process_the_steam_libraries_are_searched_data()
    {
        QTest::addColumn<QString>("steam_folder");
        QTest::addColumn<bool>("broken");
        QTest::newRow("~/.steam/steam, second library") << ".steam/steam" << false;
        QTest::newRow("flatpak") << ".var/app/com.valvesoftware.Steam/.local/share/Steam" << false;
        QTest::newRow("broken list") << ".local/share/Steam" << true;
    }
    void without_a_game_process_the_steam_libraries_are_searched()
    {
        QFETCH(QString, steam_folder);
        QFETCH(bool, broken);
        FakeSteamHome home;
        const QString empty_library = home.path(QStringLiteral("Empty Library"));
        const QString library = home.path(QStringLiteral("Games/SteamLibrary"));
        const QString game = library + QStringLiteral("/steamapps/common/Dread Hunger");
        make_game(game);
        QVERIFY(QDir().mkpath(empty_library + QStringLiteral("/steamapps/common/Other Game")));
        QByteArray vdf = library_list({empty_library, library});
        if (broken)
            vdf.chop(2);  // the closing brace
        home.steam_folder(steam_folder, vdf);
        list_fixed({{QStringLiteral("bash"), QStringLiteral("/bin/bash")}});
        MainWindow *main = &open_window();
        main->_detect_by_process();

        if (broken) {
            QCOMPARE(main->dir_label->text(), kNoGame);
            QCOMPARE(main->game_dir, QString());
            QVERIFY(log->contains(QStringLiteral("[WARNING] 无法读取Steam库列表: ")));
            return;
        }
        QCOMPARE(main->game_dir, as_listed(game));
        QCOMPARE(stored_game_dir(), as_listed(game));
        QCOMPARE(main->dir_label->text(), QStringLiteral("✓ 目录权限验证通过: ") + shown_path(game));
        QVERIFY(log->contains(QStringLiteral("[INFO] 未检测到游戏进程，已从Steam库找到游戏目录: ") + shown_path(game)));
    }

    void a_library_game_counts_only_with_its_own_game_file()
    {
        FakeSteamHome home;
        const QString library = home.path(QStringLiteral("Lib"));
        // The game file a folder, or (where Qt makes real links) a link to one outside the library.
        QVERIFY(QDir().mkpath(game_pak_file(library + "/steamapps/common/Folder")));
#ifndef Q_OS_WIN  // there Qt makes a link as a .lnk shortcut, a plain file of its own
        make_game(home.path(QStringLiteral("Elsewhere")));
        const QString linked = library + QStringLiteral("/steamapps/common/Linked");
        QVERIFY(QDir().mkpath(join_path(linked, PAK_DIR)));
        QVERIFY(QFile::link(game_pak_file(home.path(QStringLiteral("Elsewhere"))), game_pak_file(linked)));
#endif
        home.steam_folder(QStringLiteral(".local/share/Steam"), library_list({library}));
        QCOMPARE(find_steam_game_folders({home.path(QStringLiteral(".local/share/Steam"))}), QStringList());
    }

    void a_running_game_wins_over_the_steam_libraries_and_the_first_library_over_others()
    {
        FakeSteamHome home;
        const QString first = home.path(QStringLiteral("A/steamapps/common/Dread Hunger"));
        const QString second = home.path(QStringLiteral("B/steamapps/common/DH"));
        make_game(first);
        make_game(second);
        home.steam_folder(QStringLiteral(".local/share/Steam"),
                          library_list({home.path(QStringLiteral("A")), home.path(QStringLiteral("B"))}));
        // Steam's own link to its folder: the same libraries again, not further games.
        QVERIFY(QDir().mkpath(home.path(QStringLiteral(".steam"))));
        QVERIFY(
            QFile::link(home.path(QStringLiteral(".local/share/Steam")), home.path(QStringLiteral(".steam/steam"))));
        QTemporaryDir running;
        make_game(running.path());
        list_fixed({{GAME_EXE_NAME, game_exe_below(running.path())}});
        MainWindow *main = &open_window();
        main->_detect_by_process();
        QCOMPARE(main->game_dir, running.path());
        QVERIFY(!log->contains(QStringLiteral("Steam")));

        list_fixed({});
        main->_detect_by_process();
        QCOMPARE(main->game_dir, as_listed(first));
        QCOMPARE(log->lines().filter(QStringLiteral("Steam库")),
                 QStringList({QStringLiteral("[INFO] 未检测到游戏进程，已从Steam库找到游戏目录: ") + shown_path(first),
                              QStringLiteral("[INFO] Steam库中另有游戏目录(未使用): ") + shown_path(second)}));
    }

    void a_setting_that_cannot_be_written_is_a_detection_failure_until_it_can()
    {
#ifdef Q_OS_WIN
        QSKIP("the store is the registry there, which a folder in its way cannot block");
#endif
        QTemporaryDir tmp;
        make_game(tmp.path());
        list_fixed({{GAME_EXE_NAME, game_exe_below(tmp.path())}});
        MainWindow *main = &open_window();
        SkinWidget *card = add_card(skin_record(QStringLiteral("c")));
        const QString store_file = main->settings->fileName();
        QFile::remove(store_file);
        QVERIFY(QDir().mkpath(store_file));  // a folder where the store's file must go

        main->_detect_by_process();
        QVERIFY2(main->dir_label->text().startsWith(QStringLiteral("✗ 进程检测失败: 无法保存设置")),
                 qPrintable(main->dir_label->text()));
        QCOMPARE(main->game_dir, tmp.path());
        QCOMPARE(card->game_dir, tmp.path());  // the folder stays for this run, for the cards too

        QVERIFY(QDir().rmdir(store_file));
        main->_detect_by_process();
        QCOMPARE(main->dir_label->text(), QStringLiteral("✓ 目录权限验证通过: ") + shown_path(tmp.path()));
        QCOMPARE(stored_game_dir(), tmp.path());
    }

    void cards_shown_before_a_detection_see_the_new_folder()
    {
        QTemporaryDir tmp;
        make_game(tmp.path());
        write_file(mod_folder(tmp.path()) + QStringLiteral("/sub/owned.sig"), "sig");
        list_fixed({{GAME_EXE_NAME, game_exe_below(tmp.path())}});
        MainWindow *main = &open_window();
        SkinWidget *owned = add_card(skin_record(QStringLiteral("owned")));
        SkinWidget *other = add_card(skin_record(QStringLiteral("other")));
        QCOMPARE(owned->action_button->text(), QStringLiteral("安装"));

        main->_detect_by_process();
        QCOMPARE(owned->game_dir, tmp.path());
        QCOMPARE(owned->action_button->text(), QStringLiteral("卸载"));
        QCOMPARE(other->action_button->text(), QStringLiteral("安装"));
    }
};

ZORBEL_TEST_MAIN(TestGamedirWindow)
#include "tst_gamedir_window.moc"
