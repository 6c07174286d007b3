// Maintenance actions of the window: opening the mod folder, refetching the covers of
// the page, re-checking the cards and removing transfer leftovers.

#include "app/logging.h"
#include "app/config.h"
#include "app/endpoints.h"
#include "app/mainwindow.h"
#include "cards/cover_cache.h"
#include "cards/skin_widget.h"
#include "download/set_aside.h"
#include "gamedir/temp_cleanup.h"
#include "support/card_probes.h"
#include "support/game_files.h"
#include "support/stored_setting.h"
#include "support/test_env.h"
#include "support/window_fixture.h"
#include "widgets/flow_layout.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

namespace {

// A link to the folder `target`: a symbolic link, or on Windows a junction (false when
// this system cannot make one).
bool link_folder(const QString &target, const QString &link)
{
#ifdef Q_OS_WIN
    return QProcess::execute("cmd",
                             {"/c", "mklink", "/J", QDir::toNativeSeparators(link), QDir::toNativeSeparators(target)})
               == 0
           && QFileInfo(link).isDir();
#else
    return QFile::link(target, link);
#endif
}

}  // namespace

// Receives the folders the window asks the desktop to open.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestGamedirMaintenance : public QObject, WindowHarness {
    Q_OBJECT

private slots:
    void init()
    {
        start();
        server->route(SkinServer::image_path(), png_reply(solid_image(8, 8, Qt::blue)));
        open_window();
    }

    void cleanup() { stop(); }

    void leftovers_are_transfer_files_and_empty_files_at_any_depth()
    {
        QTemporaryDir tmp;
        const QString mods = tmp.path();
        write_file(mods + "/x.pak", "pak");
        write_file(mods + "/x.pak.tmp", "part");
        write_file(mods + "/y.sig", "");
        write_file(mods + "/z.TMP", "keep");
        write_file(mods + "/.hidden.tmp", "part");
        write_file(mods + "/a/b/deep.sig.tmp", "part");
        write_file(mods + "/a/b/empty.pak", "");
        write_file(mods + "/a/b/full.pak", "pak");
        LogCapture log;
        remove_transfer_leftovers(mods);

        for (const char *kept : {"/x.pak", "/z.TMP", "/a/b/full.pak"})
            QVERIFY2(QFileInfo::exists(mods + kept), kept);
        for (const char *gone : {"/x.pak.tmp", "/y.sig", "/.hidden.tmp", "/a/b/deep.sig.tmp", "/a/b/empty.pak"}) {
            QVERIFY2(!QFileInfo::exists(mods + gone), gone);
            QVERIFY2(log.lines().contains(QStringLiteral("[INFO] 已清理无效文件: ") + shown_path(mods + gone)), gone);
        }
        QCOMPARE(lines_starting(log.lines(), QStringLiteral("[INFO] 已清理无效文件: ")).size(), 5);
    }

    void files_an_interrupted_install_set_aside_are_put_back_or_removed()
    {
        QTemporaryDir tmp;
        const QString mods = mod_folder(tmp.path());
        write_file(mods + "/lost.pak" + SET_ASIDE_SUFFIX, "old pak");  // ended between its two moves
        write_file(mods + "/done.pak", "new pak");
        write_file(mods + "/done.pak" + SET_ASIDE_SUFFIX, "old pak");  // ended before removing the copy
        LogCapture log;
        remove_transfer_leftovers(mods);
        QCOMPARE(QDir(mods).entryList(QDir::Files, QDir::Name), QStringList({"done.pak", "lost.pak"}));
        QCOMPARE(read_file(mods + "/lost.pak"), QByteArray("old pak"));
        QVERIFY(log.contains(QStringLiteral("已恢复被中断的安装替换的文件: ") + shown_path(mods + "/lost.pak")));

        // At start, too, before any card looks for the skin.
        write_file(mods + "/lost.sig" + SET_ASIDE_SUFFIX, "old sig");
        store_game_dir(tmp.path());
        window->_load_settings();
        QVERIFY(QFileInfo::exists(mods + "/lost.sig"));
        QVERIFY(!QFileInfo::exists(mods + "/lost.sig" + SET_ASIDE_SUFFIX));
    }

    void an_install_stopped_at_any_step_leaves_one_whole_pair_data()
    {
        QTest::addColumn<QStringList>("installed");  // the old pair's files
        QTest::addColumn<int>("steps");              // steps taken before the process ended
        for (const QStringList &installed : {QStringList{"x.pak", "x.sig"}, QStringList{"x.pak"}}) {
            // Flush, record, set each aside, place both, commit, drop the copies.
            for (int steps = 0; steps <= 6 + installed.size(); ++steps)
                QTest::addRow("%s installed, %d steps", qPrintable(installed.join('+')), steps) << installed << steps;
        }
    }

    void an_install_stopped_at_any_step_leaves_one_whole_pair()
    {
        QFETCH(QStringList, installed);
        QFETCH(int, steps);
        QTemporaryDir tmp;
        const QString mods = mod_folder(tmp.path());
        const QStringList pair{mods + "/x.pak", mods + "/x.sig"};
        for (const QString &path : pair) {
            write_file(path + TRANSFER_SUFFIX, "new");
            if (installed.contains(QFileInfo(path).fileName()))
                write_file(path, "old");
        }
        PairMove move(pair);
        QVERIFY(steps <= move.steps_left());
        const bool all = steps == move.steps_left();
        for (int step = 0; step < steps; ++step)
            QVERIFY(move.take_step());
        restore_set_aside_copies(mods);  // at the next start

        const QByteArray pak = read_file(pair[0]), sig = read_file(pair[1]);
        const QByteArray old_sig = installed.size() == 2 ? "old" : "";
        QVERIFY2((pak == "old" && sig == old_sig) || (pak == "new" && sig == "new"), pak + " / " + sig);
        QVERIFY(!all || pak == "new");
        QCOMPARE(QDir(mods).entryList({"*.setaside", "*.moving"}, QDir::Files), QStringList());
    }

    void the_clean_up_enters_no_linked_folder()
    {
        QTemporaryDir tmp;
        const QString outside = tmp.path() + "/outside";
        write_file(outside + "/part.tmp", "part");
        write_file(outside + "/empty.pak", "");
        write_file(outside + "/x.pak" + SET_ASIDE_SUFFIX, "old");
        write_file(tmp.path() + "/mods/own.tmp", "part");
        if (!link_folder(outside, tmp.path() + "/mods/linked") || !link_folder(outside, tmp.path() + "/linked mods"))
            QSKIP("this system makes no folder links");
        remove_transfer_leftovers(tmp.path() + "/mods");
        remove_transfer_leftovers(tmp.path() + "/linked mods");  // the mod folder itself a link
        QCOMPARE(QDir(outside).entryList(QDir::Files, QDir::Name),
                 QStringList({"empty.pak", "part.tmp", "x.pak" + SET_ASIDE_SUFFIX}));
        QVERIFY(!QFileInfo::exists(tmp.path() + "/mods/own.tmp"));
    }

    void an_unreadable_file_is_logged_and_the_walk_goes_on()
    {
#ifdef Q_OS_WIN
        QSKIP("a link on Windows is a .lnk file, which the walk reads like any other");
#endif
        QTemporaryDir tmp;
        QVERIFY(QFile::link(tmp.path() + "/missing", tmp.path() + "/dangling.pak"));
        write_file(tmp.path() + "/zz.pak.tmp", "part");
        LogCapture log;
        remove_transfer_leftovers(tmp.path());
        QVERIFY(log.lines().contains(QStringLiteral("[ERROR] 清理错误: ") + tmp.path()
                                     + QStringLiteral("/dangling.pak - No such file or directory")));
        QVERIFY(!QFileInfo::exists(tmp.path() + "/zz.pak.tmp"));
    }

    void window_cleanup_needs_a_known_game_folder()
    {
        LogCapture log;
        window->_cleanup_temp_files();
        QCOMPARE(log.lines(), QStringList{QStringLiteral("[INFO] 执行定期临时文件清理")});
    }

    void closing_the_window_removes_leftovers_of_the_game_folder()
    {
        QTemporaryDir tmp;
        window->game_dir = tmp.path();
        write_file(mod_folder(tmp.path()) + "/x.pak.tmp", "part");
        write_file(mod_folder(tmp.path()) + "/x.pak", "pak");
        LogCapture log;
        window->show();
        QVERIFY(window->close());
        QVERIFY(!QFileInfo::exists(mod_folder(tmp.path()) + "/x.pak.tmp"));
        QVERIFY(QFileInfo::exists(mod_folder(tmp.path()) + "/x.pak"));
        QCOMPARE(log.lines().value(0), QStringLiteral("[INFO] 执行定期临时文件清理"));
    }

    void open_folder_tells_why_it_did_not_data()
    {
        QTest::addColumn<bool>("detected");   // a game folder is known
        QTest::addColumn<bool>("with_mods");  // and has its mod folder
        QTest::addColumn<QString>("box");     // "title | text" (its start when it ends in "：")
        QTest::newRow("before a detection, asks for one") << false << false << "提示 | 请先检测游戏目录";
        QTest::newRow("without mod folder, does not create it")
            << true << false << "提示 | 皮肤目录不存在，请先下载皮肤";
        QTest::newRow("failure is shown") << true << true << "打开失败 | 无法打开皮肤目录：";
    }

    void open_folder_tells_why_it_did_not()
    {
        QFETCH(bool, detected);
        QFETCH(bool, with_mods);
        QFETCH(QString, box);
        if (with_mods && QGuiApplication::platformName() != QStringLiteral("offscreen"))
            QSKIP("only the offscreen platform is sure to refuse opening a folder");
        QTemporaryDir tmp;
        if (detected)
            window->game_dir = tmp.path();
        QVERIFY(!with_mods || QDir().mkpath(mod_folder(tmp.path())));
        window->_open_skin_dir();
        QCOMPARE(boxes->seen().size(), 1);
        const QString seen = boxes->seen()[0];
        QVERIFY2(box.endsWith("：") ? seen.startsWith(box) : seen == box, qPrintable(seen));
        QCOMPARE(QFileInfo::exists(mod_folder(tmp.path())), with_mods);
    }

    void open_folder_hands_the_mod_folder_to_the_desktop()
    {
        QTemporaryDir tmp;
        window->game_dir = tmp.path();
        QVERIFY(QDir().mkpath(mod_folder(tmp.path())));
        OpenedUrls opened;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
        window->_open_skin_dir();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(tmp.path() + "/DreadHunger/Content/Paks/qvmods")});
        QCOMPARE(boxes->boxes.size(), 0);
    }

    void refresh_before_a_category_is_chosen_does_nothing()
    {
        add_card(skin_record("a", "M", "S", 1, "a.png"));
        LogCapture log;
        window->current_category_name.reset();
        window->_refresh_skins();
        window->current_category_name = QString();
        window->_refresh_skins();
        QCOMPARE(log.lines(), QStringList());
    }

    void refresh_refetches_the_covers_of_complete_cards_only()
    {
        window->current_category_name = QStringLiteral("M");
        QList<SkinWidget *> cards;
        for (int i = 0; i < 6; ++i) {
            const QString sub = i % 3 == 2 ? QString() : QStringLiteral("S");
            cards << add_card(skin_record(QStringLiteral("s%1").arg(i), "M", sub, i, QStringLiteral("c%1.png").arg(i)));
        }
        const CoverSpies first_loads = spy_on_covers(cards);
        QTRY_COMPARE_WITH_TIMEOUT(covers_loaded(first_loads), 6, 15000);
        QCOMPARE(server->request_count(SkinServer::image_path()), 4);
        // What a cover without subcategory would be cached under: it must stay untouched.
        const QString stray =
            cover_cache_path(IMAGE_DOWNLOAD_API + QStringLiteral("?MainCategory=M&subcategory=&cover=c2.png"));
        write_file(stray, "stray");

        LogCapture log;
        const CoverSpies reloads = spy_on_covers(cards);
        window->_refresh_skins();
        QVERIFY(log.lines().contains(QStringLiteral("[INFO] 已刷新 4 个皮肤的图片缓存")));
        QCOMPARE(lines_starting(log.lines(), QStringLiteral("[INFO] 已清理图片缓存: ")).size(), 4);
        QTRY_COMPARE_WITH_TIMEOUT(covers_loaded(reloads), 4, 15000);
        QCOMPARE(server->request_count(SkinServer::image_path()), 8);
        QVERIFY(QFileInfo::exists(stray));
        QVERIFY(QFileInfo::exists(cover_cache_path(cover_url(cards.first()->skin_data))));
    }

    void refresh_of_an_empty_page_says_so()
    {
        window->current_category_name = QStringLiteral("M");
        LogCapture log;
        window->_refresh_skins();
        QCOMPARE(log.lines(), QStringList{QStringLiteral("[INFO] 当前页面没有皮肤组件需要刷新")});
    }

    void permission_refresh_without_folder_keeps_the_label_and_rechecks_cards()
    {
        SkinWidget *card = add_card(skin_record("a", "M", "S", 1));
        card->action_button->setText(QStringLiteral("卸载"));
        window->dir_label->setText(QStringLiteral("不变"));
        LogCapture log;
        window->_refresh_all_skins_permissions();
        QCOMPARE(window->dir_label->text(), QStringLiteral("不变"));
        QCOMPARE(card->action_button->text(), QStringLiteral("安装"));
        QCOMPARE(log.lines(), QStringList{QStringLiteral("[INFO] 已刷新整个软件权限状态，共 1 个皮肤组件")});
    }
};

ZORBEL_TEST_MAIN(TestGamedirMaintenance)
#include "tst_gamedir_maintenance.moc"
