// Checking a game folder: the required game file and the write test in the mod folder.
// The suite runs as root, which ignores permission bits, so unwritable folders are made
// immutable with chattr.

#include "app/logging.h"
#include "app/config.h"
#include "gamedir/game_folder.h"
#include "support/fs_faults.h"
#include "support/game_files.h"
#include "support/test_env.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

class TestGamedirValidation : public QObject {
    Q_OBJECT

private slots:
    void a_game_folder_is_checked_data()
    {
        QTest::addColumn<bool>("game");           // the required game file is there
        QTest::addColumn<QString>("blocker");     // what stands in the way of the write test
        QTest::addColumn<QStringList>("errors");  // each error's start; "pak" for the missing game file's
        QTest::addColumn<bool>("mods_made");      // the mod folder exists afterwards
        const QString unwritable = QStringLiteral("目录不可写: ");
        // clang-format off
        QTest::newRow("game folder with writable mod folder is valid") << true << "" << QStringList() << true;
        QTest::newRow("missing pak file is one error, the mod folder is still made")
            << false << "" << QStringList{"pak"} << true;
        QTest::newRow("unwritable mod folder is one write error")
            << true << "immutable mod folder" << QStringList{unwritable} << true;
        QTest::newRow("both problems give two errors, pak first")
            << false << "immutable mod folder" << QStringList{"pak", unwritable} << true;
        QTest::newRow("mod folder that cannot be created is a write error")
            << true << "immutable pak folder" << QStringList{unwritable} << false;
        QTest::newRow("leftover probe file is overwritten and removed")
            << true << "probe file" << QStringList() << true;
        QTest::newRow("probe name taken by a folder is a write error")
            << true << "probe folder" << QStringList{unwritable} << true;
        // clang-format on
    }

    void a_game_folder_is_checked()
    {
        QFETCH(bool, game);
        QFETCH(QString, blocker);
        QFETCH(QStringList, errors);
        QTemporaryDir root;
        const QString mods = mod_folder(root.path());
        const QString probe = join_path(mods, PERMISSION_PROBE);
        if (game)
            make_game(root.path());
        if (blocker == "probe file")
            write_file(probe, QByteArray(1000, 'x'));
        if (blocker == "probe folder" || blocker == "immutable mod folder")
            QVERIFY(QDir().mkpath(blocker == "probe folder" ? probe : mods));
        std::unique_ptr<ImmutableFlag> guard;
        if (blocker.startsWith("immutable")) {
            guard = std::make_unique<ImmutableFlag>(blocker.endsWith("mod folder") ? mods
                                                                                   : join_path(root.path(), PAK_DIR));
            REQUIRE_FAULT(*guard);
        }

        const QStringList found = validate_game_dir(root.path());
        const QString missing = QStringLiteral("无效目录: 未找到必需文件 ") + shown_path(game_pak_file(root.path()));
        QCOMPARE(found.size(), errors.size());
        for (int i = 0; i < errors.size(); ++i) {
            if (errors[i] == "pak")
                QCOMPARE(found[i], missing);
            else
                QVERIFY2(found[i].startsWith(errors[i]), qPrintable(found[i]));
        }
        if (blocker == "immutable mod folder")
            QVERIFY2(found.last().contains(QStringLiteral("permission_test.tmp")), qPrintable(found.last()));
        QCOMPARE(join_errors(found), found.join(QStringLiteral("，")));
        QTEST(QFileInfo(mods).isDir(), "mods_made");
        QVERIFY(!QFileInfo(probe).isFile());
        if (blocker.isEmpty() && game)  // the write test leaves nothing behind
            QVERIFY(QDir(mods).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void the_required_file_and_the_mod_folder_lie_below_the_game_folder()
    {
        QCOMPARE(game_pak_file("/g"), QStringLiteral("/g/DreadHunger/Content/Paks/DreadHunger-WindowsNoEditor.pak"));
        QCOMPARE(mod_folder("/g"), QStringLiteral("/g/DreadHunger/Content/Paks/qvmods"));
    }
};

ZORBEL_TEST_MAIN(TestGamedirValidation)
#include "tst_gamedir_validation.moc"
