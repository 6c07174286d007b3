// Removal and rename with retries: results, the files left behind, and the log lines.

#include "app/logging.h"
#include "download/safe_file_ops.h"
#include "support/download_fixture.h"
#include "support/fs_faults.h"
#include "support/test_env.h"

#include <optional>

class TestDownloadSafeOps : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void removing_a_missing_file_succeeds()
    {
        LogCapture log;
        QVERIFY(safe_remove(path("absent.pak")));
        QCOMPARE(log.lines(), QStringList({"[INFO] 成功删除: " + shown_path(path("absent.pak"))}));
    }

    void a_folder_is_never_removed()
    {
        write_file(path("folder.pak/inside"), "data");
        QVERIFY(safe_remove(path("folder.pak")));
        QVERIFY(QFile::exists(path("folder.pak/inside")));
    }

    void no_attempts_means_failure()
    {
        write_file(path("y.pak"), "data");
        LogCapture log;
        QVERIFY(!safe_remove(path("y.pak"), 0));
        QVERIFY(!safe_rename(path("y.pak"), path("z.pak"), 0));
        QVERIFY(QFile::exists(path("y.pak")));
        QVERIFY(log.lines().isEmpty());
    }

    void rename_replaces_an_existing_file()
    {
        write_file(path("new.tmp"), "new");
        write_file(path("old.pak"), "old");
        LogCapture log;
        QVERIFY(safe_rename(path("new.tmp"), path("old.pak")));
        QCOMPARE(read_file(path("old.pak")), QByteArray("new"));
        QVERIFY(!QFile::exists(path("new.tmp")));
        QCOMPARE(log.lines(), QStringList({"[INFO] 成功删除: " + shown_path(path("old.pak")),
                                           "[INFO] 成功重命名: " + shown_path(path("new.tmp")) + " -> "
                                               + shown_path(path("old.pak"))}));
    }

    void renaming_a_missing_file_fails_after_three_attempts()
    {
        LogCapture log;
        QVERIFY(!safe_rename(path("gone.tmp"), path("gone.pak")));
        const QStringList lines = log.lines();
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("[WARNING] 重命名重试 1/3: ") && lines[0].size() > 20, qPrintable(lines[0]));
        QVERIFY(lines[1].startsWith("[WARNING] 重命名重试 2/3: "));
        QVERIFY2(lines[2].startsWith("[ERROR] 最终重命名失败: " + shown_path(path("gone.tmp")) + " - "),
                 qPrintable(lines[2]));
        QCOMPARE(lines[2].section(" - ", -1), lines[0].section(": ", -1));  // the system's own description
    }

    void a_folder_standing_at_the_target_makes_rename_fail()
    {
        write_file(path("part.tmp"), "new");
        write_file(path("part.sig/keep"), "data");
        QVERIFY(!safe_rename(path("part.tmp"), path("part.sig")));
        QCOMPARE(read_file(path("part.tmp")), QByteArray("new"));
        QCOMPARE(read_file(path("part.sig/keep")), QByteArray("data"));
    }

    void a_file_that_stays_locked_is_reported()
    {
        write_file(path("locked/x.pak"), "data");
        LogCapture log;
#ifdef Q_OS_WIN
        // Held open without delete sharing, as the running game holds its files.
        const HeldOpen held(path("locked/x.pak"));
        QVERIFY(held.held());
        const bool removed = safe_remove(path("locked/x.pak"));
#else
        // An immutable folder refuses the deletion, even to root.
        std::optional<ImmutableFlag> lock(path("locked"));
        REQUIRE_FAULT(*lock);
        const bool removed = safe_remove(path("locked/x.pak"));
        lock.reset();
#endif
        QVERIFY(!removed);
        QVERIFY(QFile::exists(path("locked/x.pak")));
        const QStringList lines = log.lines();
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("[WARNING] 删除重试 1/3: "), qPrintable(lines[0]));
        QVERIFY(lines[1].startsWith("[WARNING] 删除重试 2/3: "));
        QVERIFY2(lines[2].startsWith("[ERROR] 最终删除失败: " + shown_path(path("locked/x.pak")) + " - "),
                 qPrintable(lines[2]));
    }
};

ZORBEL_TEST_MAIN(TestDownloadSafeOps)
#include "tst_download_safe_ops.moc"
