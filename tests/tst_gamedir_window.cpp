// The game folder in the window: the stored folder at start, detection from a running
// game or from the Steam libraries, and what the status label and the settings store
// hold afterwards.

#include "app/logging.h"
#include "app/config.h"
#include "app/mainwindow.h"
#include "cards/skin_widget.h"
#include "gamedir/game_folder.h"
#include "gamedir/process_list.h"
#include "support/test_env.h"
#include "support/window_fixture.h"
#include "widgets/flow_layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>
#include <stdexcept>

namespace {

const QString kExeSubpath = QStringLiteral("DreadHunger/Binaries/Win64/DreadHunger-Win64-Shipping.exe");
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
QString mod_dir(const QString &root)
{
    return join_path(root, MOD_SUBDIR);
}
QString pak_file(const QString &root)
{
    return join_path(root, PAK_DIR, GAME_PAK_FILE);
}

void make_game(const QString &root)
{
    QVERIFY(QDir().mkpath(join_path(root, PAK_DIR)));
    QFile pak(pak_file(root));
    QVERIFY(pak.open(QIODevice::WriteOnly));
    pak.write("pak");
}

QString stored_game_dir()
{
    return QSettings(QStringLiteral("qvmod"), QStringLiteral("DreadHunger"))
        .value(QStringLiteral("game_dir"))
        .toString();
}

void store_game_dir(const QString &path)
{
    QSettings store(QStringLiteral("qvmod"), QStringLiteral("DreadHunger"));
    if (path.isEmpty())
        store.remove(QStringLiteral("game_dir"));
    else
        store.setValue(QStringLiteral("game_dir"), path);
    store.sync();
}

// A stand-in game: the waiting program copied to where the game's executable lives below `root`.
class GameProcess {
public:
    explicit GameProcess(const QString &root)
        : exe_(root + QLatin1Char('/') + kExeSubpath)
    {
        if (!QDir().mkpath(QFileInfo(exe_).path()) || !QFile::copy(waiting_program(), exe_))
            return;
        process_.start(exe_, {QStringLiteral("60")});
        started_ = process_.waitForStarted(10000);
    }
    ~GameProcess()
    {
        process_.kill();
        process_.waitForFinished(10000);
    }
    bool started() const { return started_; }

private:
    QString exe_;
    QProcess process_;
    bool started_ = false;
};

// The real process list, without game look-alikes that other suites may run meanwhile.
void list_only_games_below(const QString &root)
{
    set_process_lister([root] {
        QList<ProcessInfo> processes;
        for (const ProcessInfo &process : platform_process_list())
            if (!process.name.contains(GAME_EXE_NAME)
                || process.exe_path.startsWith(as_listed(root + QLatin1Char('/'))))
                processes.append(process);
        return processes;
    });
}

void list_fixed(const QList<ProcessInfo> &processes)
{
    set_process_lister([processes] { return processes; });
}

// A home folder of its own for the test's lifetime, where Steam folders can be laid out.
// On Windows Steam names its folder in the registry, which the test points there instead.
class FakeSteamHome {
public:
#ifdef Q_OS_WIN
    FakeSteamHome()
    {
        steam_key().remove(QStringLiteral("SteamPath"));
    }
    ~FakeSteamHome()
    {
        steam_key().remove(QStringLiteral("SteamPath"));
    }
#else
    FakeSteamHome()
        : previous_(qgetenv("HOME"))
    {
        qputenv("HOME", home_.path().toUtf8());
    }
    ~FakeSteamHome()
    {
        qputenv("HOME", previous_);
    }
#endif
    QString path(const QString &relative) const
    {
        return QDir(home_.path()).filePath(relative);
    }

    // The Steam folder at `relative` below home, with `vdf` as its library list.
    void steam_folder(const QString &relative, const QByteArray &vdf) const
    {
        QVERIFY(QDir().mkpath(path(relative) + QStringLiteral("/steamapps")));
        QFile list(path(relative) + QStringLiteral("/steamapps/libraryfolders.vdf"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(vdf);
#ifdef Q_OS_WIN
        steam_key().setValue(QStringLiteral("SteamPath"), path(relative));
#endif
    }

private:
#ifdef Q_OS_WIN
    static QSettings steam_key()
    {
        return QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\Valve\\Steam"), QSettings::NativeFormat);
    }
#endif
    QTemporaryDir home_;
    QByteArray previous_;
};

QByteArray library_list(const QStringList &libraries)
{
    QByteArray vdf = "\"libraryfolders\"\n{\n";
    for (int i = 0; i < libraries.size(); ++i)
        vdf += "\t\"" + QByteArray::number(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + libraries.at(i).toUtf8()
               + "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"1234\"\t\t\"1\"\n\t\t}\n\t}\n";
    return vdf + "}\n";
}

QPushButton *button_with_text(QWidget &window, const QString &text)
{
    for (QPushButton *button : window.findChildren<QPushButton *>())
        if (button->text() == text)
            return button;
    return nullptr;
}

}  // namespace

class TestGamedirWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<SkinServer> server;
    std::unique_ptr<ModalRecorder> boxes;

    std::unique_ptr<MainWindow> window() { return make_window(*server); }

private slots:
    void init()
    {
        server = std::make_unique<SkinServer>();
        boxes = std::make_unique<ModalRecorder>();
        store_game_dir(QString());
    }

    void cleanup()
    {
        set_process_lister(nullptr);
        boxes.reset();
        server.reset();
    }

    void start_without_stored_folder_asks_for_a_detection()
    {
        LogCapture log;
        auto main = window();
        QCOMPARE(main->game_dir, QString());
        QCOMPARE(main->dir_label->text(), kAskForDetection);
        QVERIFY(!log.contains(QStringLiteral("已刷新整个软件权限状态")));
    }

    void start_with_stored_folder_validates_it_again()
    {
        QTemporaryDir tmp;
        make_game(tmp.path());
        store_game_dir(tmp.path());
        LogCapture log;
        auto main = window();
        QCOMPARE(main->game_dir, tmp.path());
        QCOMPARE(main->dir_label->text(), QStringLiteral("✓ 目录权限验证通过: ") + shown_path(tmp.path()));
        QVERIFY(QFileInfo(mod_dir(tmp.path())).isDir());
        QVERIFY(log.contains(QStringLiteral("[INFO] 已刷新整个软件权限状态，共 0 个皮肤组件")));
    }

    void start_with_stored_folder_that_lost_its_game_file()
    {
        QTemporaryDir tmp;
        store_game_dir(tmp.path());
        auto main = window();
        QCOMPARE(main->game_dir, tmp.path());
        QCOMPARE(main->dir_label->text(),
                 QStringLiteral("✗ 目录权限验证失败: 无效目录: 未找到必需文件 ") + shown_path(pak_file(tmp.path())));
    }

    void detection_finds_the_running_game_and_stores_its_folder()
    {
        QTemporaryDir tmp;
        const QString root = canonical(tmp.path()) + QStringLiteral("/Games/DH");
        make_game(root);
        GameProcess game(root);
        QVERIFY(game.started());
        list_only_games_below(root);
        auto main = window();

        QPushButton *detect = button_with_text(*main, QStringLiteral("检测目录"));
        QVERIFY(detect);
        detect->click();

        QCOMPARE(main->game_dir, as_listed(root));
        QCOMPARE(stored_game_dir(), as_listed(root));
        QCOMPARE(main->dir_label->text(), QStringLiteral("✓ 目录权限验证通过: ") + shown_path(root));
        QVERIFY(QFileInfo(mod_dir(root)).isDir());
    }

    void detection_of_a_folder_without_game_file_still_stores_it()
    {
        QTemporaryDir tmp;
        const QString root = canonical(tmp.path()) + QStringLiteral("/Broken");
        GameProcess game(root);
        QVERIFY(game.started());
        list_only_games_below(root);
        auto main = window();
        main->_detect_by_process();

        QCOMPARE(main->game_dir, as_listed(root));
        QCOMPARE(stored_game_dir(), as_listed(root));
        QCOMPARE(main->dir_label->text(),
                 QStringLiteral("✗ 目录权限验证失败: 无效目录: 未找到必需文件 ") + shown_path(pak_file(root)));
        QVERIFY(QFileInfo(mod_dir(root)).isDir());
    }

    void without_a_game_process_nothing_changes()
    {
        QTemporaryDir known;
        make_game(known.path());
        store_game_dir(known.path());
        list_only_games_below(QStringLiteral("/nowhere"));
        auto main = window();
        main->_detect_by_process();
        QCOMPARE(main->dir_label->text(), kNoGame);
        QCOMPARE(main->game_dir, known.path());
        QCOMPARE(stored_game_dir(), known.path());
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
        LogCapture log;
        auto main = window();
        main->_detect_by_process();

        if (broken) {
            QCOMPARE(main->dir_label->text(), kNoGame);
            QCOMPARE(main->game_dir, QString());
            QVERIFY(log.contains(QStringLiteral("[WARNING] 无法读取Steam库列表: ")));
            return;
        }
        QCOMPARE(main->game_dir, as_listed(game));
        QCOMPARE(stored_game_dir(), as_listed(game));
        QCOMPARE(main->dir_label->text(), QStringLiteral("✓ 目录权限验证通过: ") + shown_path(game));
        QVERIFY(log.contains(QStringLiteral("[INFO] 未检测到游戏进程，已从Steam库找到游戏目录: ") + shown_path(game)));
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
        list_fixed({{GAME_EXE_NAME, running.path() + QLatin1Char('/') + kExeSubpath}});
        LogCapture log;
        auto main = window();
        main->_detect_by_process();
        QCOMPARE(main->game_dir, running.path());
        QVERIFY(!log.contains(QStringLiteral("Steam")));

        list_fixed({});
        main->_detect_by_process();
        QCOMPARE(main->game_dir, as_listed(first));
        QCOMPARE(log.lines().filter(QStringLiteral("Steam库")),
                 QStringList({QStringLiteral("[INFO] 未检测到游戏进程，已从Steam库找到游戏目录: ") + shown_path(first),
                              QStringLiteral("[INFO] Steam库中另有游戏目录(未使用): ") + shown_path(second)}));
    }

    void a_game_process_without_readable_path_counts_as_absent()
    {
        list_fixed({{QStringLiteral("bash"), QStringLiteral("/bin/bash")}, {GAME_EXE_NAME, QString()}});
        auto main = window();
        main->_detect_by_process();
        QCOMPARE(main->dir_label->text(), kNoGame);
        QCOMPARE(main->game_dir, QString());
        QCOMPARE(stored_game_dir(), QString());
    }

    void an_unreadable_process_list_is_reported_in_the_label()
    {
        set_process_lister([]() -> QList<ProcessInfo> { throw std::runtime_error("进程列表不可用"); });
        auto main = window();
        main->_detect_by_process();
        QCOMPARE(main->dir_label->text(), QStringLiteral("✗ 进程检测失败: 进程列表不可用"));
        QCOMPARE(boxes->boxes.size(), 0);
    }

    void a_setting_that_cannot_be_written_is_a_detection_failure_until_it_can()
    {
#ifdef Q_OS_WIN
        QSKIP("the store is the registry there, which a folder in its way cannot block");
#endif
        QTemporaryDir tmp;
        make_game(tmp.path());
        list_fixed({{GAME_EXE_NAME, tmp.path() + QLatin1Char('/') + kExeSubpath}});
        auto main = window();
        auto *card =
            new SkinWidget(skin_record(QStringLiteral("c"), QStringLiteral("M"), QStringLiteral("S")), main->game_dir);
        main->flow_layout->addWidget(card);
        main->all_skin_widgets.append(card);
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
        QVERIFY(QDir().mkpath(mod_dir(tmp.path()) + QStringLiteral("/sub")));
        QFile installed(mod_dir(tmp.path()) + QStringLiteral("/sub/owned.sig"));
        QVERIFY(installed.open(QIODevice::WriteOnly));
        installed.write("sig");
        installed.close();
        list_fixed({{GAME_EXE_NAME, tmp.path() + QLatin1Char('/') + kExeSubpath}});
        auto main = window();
        auto *owned = new SkinWidget(skin_record(QStringLiteral("owned"), QStringLiteral("M"), QStringLiteral("S")),
                                     main->game_dir);
        auto *other = new SkinWidget(skin_record(QStringLiteral("other"), QStringLiteral("M"), QStringLiteral("S")),
                                     main->game_dir);
        for (SkinWidget *card : {owned, other}) {
            main->flow_layout->addWidget(card);
            main->all_skin_widgets.append(card);
        }
        QCOMPARE(owned->action_button->text(), QStringLiteral("安装"));

        main->_detect_by_process();
        QCOMPARE(owned->game_dir, tmp.path());
        QCOMPARE(owned->action_button->text(), QStringLiteral("卸载"));
        QCOMPARE(other->action_button->text(), QStringLiteral("安装"));
    }
};

ZORBEL_TEST_MAIN(TestGamedirWindow)
#include "tst_gamedir_window.moc"
