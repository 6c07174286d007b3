// Finding the game: the process list with real processes (native and Wine-hosted),
// the name rule and the root four levels above the executable; and, without a running
// game, the library lists of Steam.

#include "gamedir/game_folder.h"
#include "gamedir/process_list.h"
#include "gamedir/steam_library.h"
#include "support/game_process.h"
#include "support/test_env.h"
#ifdef Q_OS_WIN
#include "gamedir/steam_registry_win.h"

#include <QSettings>
#else
#include "gamedir/wine_path.h"
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <optional>

namespace {

#ifdef Q_OS_WIN
const Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
const Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

// The listed process of that executable (other suites may run game look-alikes too).
// Windows lists its own form of the path (backslashes, any case).
std::optional<ProcessInfo> listed_at(const QList<ProcessInfo> &processes, const QString &exe_path)
{
    for (const ProcessInfo &process : processes)
        if (QDir::fromNativeSeparators(process.exe_path).compare(exe_path, kPathCase) == 0)
            return process;
    return std::nullopt;
}

#ifndef Q_OS_WIN
QString windows_form(const QString &unix_path)
{
    return QStringLiteral("Z:") + QString(unix_path).replace(QLatin1Char('/'), QLatin1Char('\\'));
}
#endif

}  // namespace

class TestGamedirProcessList : public QObject {
    Q_OBJECT

private slots:
    void native_game_process_gives_the_root_four_levels_up()
    {
        QTemporaryDir tmp;
        const QString root = QFileInfo(tmp.path()).canonicalFilePath() + QStringLiteral("/Game");
        const QString exe = game_exe_below(root);
        GameProcess game(exe);
        QVERIFY(game.started());

        const auto found = listed_at(list_processes().value, exe);
        game.stop();
        QVERIFY(found);
        QCOMPARE(found->name, GAME_EXE_NAME);
        QVERIFY(find_game_process({*found}));
        QCOMPARE(QDir::fromNativeSeparators(game_root_from_exe(found->exe_path)), root);
    }

#ifndef Q_OS_WIN
    void wine_hosted_game_is_mapped_through_the_prefix_drive()
    {
        QTemporaryDir tmp;
        const QString base = QFileInfo(tmp.path()).canonicalFilePath();
        const QString prefix = base + QStringLiteral("/prefix");
        QVERIFY(QDir().mkpath(prefix + QStringLiteral("/dosdevices")));
        QVERIFY(QFile::link(QStringLiteral("/"), prefix + QStringLiteral("/dosdevices/z:")));
        const QString root = base + QStringLiteral("/Games/DH");
        const QString exe = game_exe_below(root);
        QVERIFY(QDir().mkpath(QFileInfo(exe).path()));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("WINEPREFIX"), prefix);
        GameProcess game(GameProcess::WineCommandLine{windows_form(exe)}, environment);
        QVERIFY(game.started());
        std::optional<ProcessInfo> found;
        // bash replaces itself with the look-alike just after it started
        QTRY_VERIFY_WITH_TIMEOUT((found = listed_at(list_processes().value, exe)).has_value(), 10000);
        game.stop();
        QCOMPARE(found->name, GAME_EXE_NAME);
        QCOMPARE(game_root_from_exe(found->exe_path), root);
    }

    void wine_prefix_defaults_to_dot_wine_in_the_process_home()
    {
        QTemporaryDir tmp;
        const QString home = QFileInfo(tmp.path()).canonicalFilePath();
        QVERIFY(QDir().mkpath(home + QStringLiteral("/.wine/drive_c/Games/DH")));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/.wine/dosdevices")));
        QVERIFY(QFile::link(QStringLiteral("../drive_c"), home + QStringLiteral("/.wine/dosdevices/c:")));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("WINEPREFIX"));
        environment.insert(QStringLiteral("HOME"), home);
        GameProcess game(GameProcess::WineCommandLine{QStringLiteral(
                             "C:\\Games\\DH\\DreadHunger\\Binaries\\Win64\\DreadHunger-Win64-Shipping.exe")},
                         environment);
        QVERIFY(game.started());
        const QString exe = game_exe_below(home + QStringLiteral("/.wine/drive_c/Games/DH"));
        std::optional<ProcessInfo> found;
        QTRY_VERIFY_WITH_TIMEOUT((found = listed_at(list_processes().value, exe)).has_value(), 10000);
        game.stop();
        QCOMPARE(found->name, GAME_EXE_NAME);
        QCOMPARE(game_root_from_exe(found->exe_path), home + QStringLiteral("/.wine/drive_c/Games/DH"));
    }

#endif

    void lower_case_executable_is_not_the_game()
    {
        QTemporaryDir tmp;
        const QString exe = tmp.path() + QStringLiteral("/g/dreadhunger/binaries/win64/dreadhunger-win64-shipping.exe");
        GameProcess impostor(exe);
        QVERIFY(impostor.started());
        const auto listed = listed_at(list_processes().value, QFileInfo(exe).canonicalFilePath());
        impostor.stop();
        QVERIFY(listed);
        QCOMPARE(listed->name, QStringLiteral("dreadhunger-win64-shipping.exe"));
        QVERIFY(!find_game_process({*listed}));
    }

    void name_rule_is_a_case_sensitive_substring_and_the_first_match_wins()
    {
        const QList<ProcessInfo> processes = {
            {QString(), QStringLiteral("/x/DreadHunger-Win64-Shipping.exe")},
            {QStringLiteral("DREADHUNGER-WIN64-SHIPPING.EXE"), QStringLiteral("/upper")},
            {QStringLiteral("DreadHunger-Win64-Shipping.exe.bak"), QStringLiteral("/first")},
            {QStringLiteral("DreadHunger-Win64-Shipping.exe"), QStringLiteral("/second")},
        };
        const auto found = find_game_process(processes);
        QVERIFY(found);
        QCOMPARE(found->exe_path, QStringLiteral("/first"));
        QVERIFY(!find_game_process(processes.mid(0, 2)));
    }

    void parent_folder_follows_the_platform_rules_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("parent");
        // clang-format off
        QTest::newRow("file") << "/a/b/c.exe" << "/a/b";
        QTest::newRow("trailing separator") << "/a/b/" << "/a/b";
        QTest::newRow("doubled separators") << "/a//b" << "/a";
        QTest::newRow("top level") << "/a" << "/";
        QTest::newRow("root stays") << "/" << "/";
        QTest::newRow("relative name") << "a" << "";
        // clang-format on
#ifdef Q_OS_WIN
        // clang-format off
        QTest::newRow("backslashes") << "C:\\G\\b.exe" << "C:\\G";
        QTest::newRow("drive root stays") << "C:\\b.exe" << "C:\\";
        // clang-format on
#endif
    }

    void parent_folder_follows_the_platform_rules()
    {
        QFETCH(QString, path);
        QFETCH(QString, parent);
        QCOMPARE(parent_folder(path), parent);
    }

    void root_is_four_levels_up_without_checking_names()
    {
        QCOMPARE(game_root_from_exe(QStringLiteral("/srv/x/a/b/c/game.exe")), QStringLiteral("/srv/x"));
        QCOMPARE(game_root_from_exe(QStringLiteral("/a/b/game.exe")), QStringLiteral("/"));
    }

#ifndef Q_OS_WIN
    void wine_paths_map_only_known_drives()
    {
        QTemporaryDir tmp;
        const QString prefix = QFileInfo(tmp.path()).canonicalFilePath();
        QVERIFY(QDir().mkpath(prefix + QStringLiteral("/dosdevices")));
        QVERIFY(QDir().mkpath(prefix + QStringLiteral("/drive_c")));
        QVERIFY(QFile::link(QStringLiteral("../drive_c"), prefix + QStringLiteral("/dosdevices/c:")));
        QVERIFY(QFile::link(prefix + QStringLiteral("/gone"), prefix + QStringLiteral("/dosdevices/e:")));

        QCOMPARE(wine_to_unix_path(QStringLiteral("c:\\A\\\\b.exe"), prefix),
                 prefix + QStringLiteral("/drive_c/A/b.exe"));
        QCOMPARE(wine_to_unix_path(QStringLiteral("C:/A/b.exe"), prefix), prefix + QStringLiteral("/drive_c/A/b.exe"));
        QCOMPARE(wine_to_unix_path(QStringLiteral("D:\\b.exe"), prefix), QString());  // no such drive
        QCOMPARE(wine_to_unix_path(QStringLiteral("E:\\b.exe"), prefix), QString());  // dangling drive link
        QCOMPARE(wine_to_unix_path(QStringLiteral("\\\\server\\share\\b.exe"), prefix), QString());
        QCOMPARE(wine_to_unix_path(QStringLiteral("/usr/bin/wine64"), prefix), QString());
        QVERIFY(!is_windows_drive_path(QStringLiteral("C:relative.exe")));
    }
#endif

#ifdef Q_OS_WIN
    // The current user's SteamPath comes before the machine's InstallPath; an empty value
    // counts as none.
    void steam_folders_come_from_the_user_key_then_the_machine_key()
    {
        QSettings user(QStringLiteral("HKEY_CURRENT_USER\\Software\\Valve\\Steam"), QSettings::NativeFormat);
        QSettings machine(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Valve\\Steam"),
                          QSettings::NativeFormat);
        user.setValue(QStringLiteral("SteamPath"), QStringLiteral("c:/program files (x86)/steam"));
        machine.setValue(QStringLiteral("InstallPath"), QStringLiteral("D:\\Steam"));
        user.sync();
        machine.sync();
        const std::vector<std::wstring> both = steam_folders_from_registry();
        user.setValue(QStringLiteral("SteamPath"), QString());
        user.sync();
        const std::vector<std::wstring> machine_only = steam_folders_from_registry();
        user.remove(QStringLiteral("SteamPath"));
        machine.remove(QStringLiteral("InstallPath"));
        user.sync();
        machine.sync();
        QVERIFY(both == std::vector<std::wstring>({L"c:/program files (x86)/steam", L"D:\\Steam"}));
        QVERIFY(machine_only == std::vector<std::wstring>({L"D:\\Steam"}));
        QVERIFY(steam_folders_from_registry().empty());
    }
#endif

    void steam_library_lists_are_read_or_refused_whole_data()
    {
        QTest::addColumn<QString>("vdf");
        QTest::addColumn<QStringList>("libraries");  // {"broken"}: refused
        const QStringList broken{QStringLiteral("broken")};
        QTest::newRow("escapes, comments, bom")
            << "\uFEFF// written by Steam\n\"libraryfolders\" {\n \"0\" { \"path\" \"C:\\\\Program Files "
               "(x86)\\\\Steam\" }"
               " // main\n \"1\" { \"label\" \"a \\\"b\\\"\" \"PATH\" \"/mnt/\\\"x\\\"\\ty\" } }"
            << QStringList{QStringLiteral("C:\\Program Files (x86)\\Steam"), QStringLiteral("/mnt/\"x\"\ty")};
        QTest::newRow("older layout, bare words")
            << "LibraryFolders { TimeNextStatsReport 1690000000 \"1\" \"D:\\\\SteamLibrary\" }"
            << QStringList{QStringLiteral("D:\\SteamLibrary")};
        QTest::newRow("unknown escape kept")
            << "\"libraryfolders\"{\"0\"{\"path\" \"E:\\Games\"}}" << QStringList{QStringLiteral("E:\\Games")};
        QTest::newRow("other root, path section")
            << "\"config\" {} \"libraryfolders\" { \"0\" { \"path\" { } } }" << QStringList();
        QTest::newRow("empty text") << "" << QStringList();
        QTest::newRow("section not closed") << "\"libraryfolders\" { \"0\" { \"path\" \"/a\" }" << broken;
        QTest::newRow("stray brace") << "\"libraryfolders\" { } }" << broken;
        QTest::newRow("quote not closed") << "\"libraryfolders\" { \"0\" \"/a }" << broken;
        QTest::newRow("key without value") << "\"libraryfolders\"" << broken;
        QTest::newRow("brace as key") << "{ \"a\" \"b\" }" << broken;
        QTest::newRow("nested too deeply") << QString(QStringLiteral("a {")).repeated(100000) << broken;
    }
    void steam_library_lists_are_read_or_refused_whole()
    {
        QFETCH(QString, vdf);
        QFETCH(QStringList, libraries);
        const Outcome<QStringList> read = library_folders_from_vdf(vdf);
        if (libraries == QStringList{QStringLiteral("broken")}) {
            QVERIFY(!read.ok());
        } else {
            QVERIFY2(read.ok(), qPrintable(read.error));
            QCOMPARE(*read, libraries);
        }
    }
};

ZORBEL_TEST_MAIN(TestGamedirProcessList)
#include "tst_gamedir_process_list.moc"
