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

class TestGamedirValidation : public QObject {
    Q_OBJECT

private slots:
    void game_folder_with_writable_mod_folder_is_valid()
    {
        QTemporaryDir root;
        make_game(root.path());
        QCOMPARE(validate_game_dir(root.path()), QStringList());
        QVERIFY(QFileInfo(mod_folder(root.path())).isDir());
        QVERIFY(QDir(mod_folder(root.path())).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void missing_pak_file_is_one_error_and_the_mod_folder_is_still_made()
    {
        QTemporaryDir root;
        const QStringList errors = validate_game_dir(root.path());
        QCOMPARE(errors,
                 QStringList{QStringLiteral("无效目录: 未找到必需文件 ") + shown_path(game_pak_file(root.path()))});
        QCOMPARE(game_pak_file(root.path()),
                 root.path() + QStringLiteral("/DreadHunger/Content/Paks/DreadHunger-WindowsNoEditor.pak"));
        QVERIFY(QFileInfo(root.path() + QStringLiteral("/DreadHunger/Content/Paks/qvmods")).isDir());
    }

    void unwritable_mod_folder_is_one_write_error()
    {
        QTemporaryDir root;
        make_game(root.path());
        QVERIFY(QDir().mkpath(mod_folder(root.path())));
        ImmutableFlag guard(mod_folder(root.path()));
        REQUIRE_FAULT(guard);
        const QStringList errors = validate_game_dir(root.path());
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(QStringLiteral("目录不可写: ")), qPrintable(errors.first()));
        QVERIFY2(errors.first().contains(QStringLiteral("permission_test.tmp")), qPrintable(errors.first()));
    }

    void both_problems_give_two_errors_pak_first()
    {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(mod_folder(root.path())));
        ImmutableFlag guard(mod_folder(root.path()));
        REQUIRE_FAULT(guard);
        const QStringList errors = validate_game_dir(root.path());
        QCOMPARE(errors.size(), 2);
        QCOMPARE(errors.at(0), QStringLiteral("无效目录: 未找到必需文件 ") + shown_path(game_pak_file(root.path())));
        QVERIFY(errors.at(1).startsWith(QStringLiteral("目录不可写: ")));
        QCOMPARE(join_errors(errors), errors.at(0) + QStringLiteral("，") + errors.at(1));
    }

    void mod_folder_that_cannot_be_created_is_a_write_error()
    {
        QTemporaryDir root;
        make_game(root.path());
        const QString paks = join_path(root.path(), PAK_DIR);
        ImmutableFlag guard(paks);
        REQUIRE_FAULT(guard);
        const QStringList errors = validate_game_dir(root.path());
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(QStringLiteral("目录不可写: ")), qPrintable(errors.first()));
        QVERIFY(!QFileInfo::exists(mod_folder(root.path())));
    }

    void leftover_probe_file_is_overwritten_and_removed()
    {
        QTemporaryDir root;
        make_game(root.path());
        QVERIFY(QDir().mkpath(mod_folder(root.path())));
        const QString probe = join_path(mod_folder(root.path()), PERMISSION_PROBE);
        write_file(probe, QByteArray(1000, 'x'));
        QCOMPARE(validate_game_dir(root.path()), QStringList());
        QVERIFY(!QFileInfo::exists(probe));
    }

    void probe_name_taken_by_a_folder_is_a_write_error()
    {
        QTemporaryDir root;
        make_game(root.path());
        QVERIFY(QDir().mkpath(join_path(mod_folder(root.path()), PERMISSION_PROBE)));
        const QStringList errors = validate_game_dir(root.path());
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().startsWith(QStringLiteral("目录不可写: ")));
    }
};

ZORBEL_TEST_MAIN(TestGamedirValidation)
#include "tst_gamedir_validation.moc"
