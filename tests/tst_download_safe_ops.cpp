// Removal and rename with retries: results, the files left behind, and the log lines.

#include "app/logging.h"
#include "download/safe_file_ops.h"
#include "support/download_fixture.h"
#include "support/fs_faults.h"
#include "support/test_env.h"

#include <memory>

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

    void a_folder_standing_at_the_target_makes_rename_fail()
    {
        write_file(path("part.tmp"), "new");
        write_file(path("part.sig/keep"), "data");
        QVERIFY(!safe_rename(path("part.tmp"), path("part.sig")));
        QCOMPARE(read_file(path("part.tmp")), QByteArray("new"));
        QCOMPARE(read_file(path("part.sig/keep")), QByteArray("data"));
    }

    void an_operation_that_keeps_failing_logs_each_attempt_data()
    {
        QTest::addColumn<bool>("rename");  // else a removal
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("retry");  // the start of the two retry lines, before "N/3: "
        QTest::addColumn<QString>("final");
        // clang-format off
        QTest::newRow("renaming a missing file")
            << true << "gone.tmp" << "[WARNING] 重命名重试 " << "[ERROR] 最终重命名失败: ";
        QTest::newRow("removing a file that stays locked")
            << false << "locked/x.pak" << "[WARNING] 删除重试 " << "[ERROR] 最终删除失败: ";
        // clang-format on
    }

    void an_operation_that_keeps_failing_logs_each_attempt()
    {
        QFETCH(bool, rename);
        QFETCH(QString, file);
        QFETCH(QString, retry);
        QFETCH(QString, final);
        if (!rename)
            write_file(path(file), "data");
#ifdef Q_OS_WIN
        // Held open without delete sharing, as the running game holds its files.
        const HeldOpen lock(path(file));
        QVERIFY(rename || lock.held());
#else
        // An immutable folder refuses the deletion, even to root.
        std::unique_ptr<ImmutableFlag> lock;
        if (!rename) {
            lock = std::make_unique<ImmutableFlag>(path("locked"));
            REQUIRE_FAULT(*lock);
        }
#endif
        LogCapture log;
        QVERIFY(!(rename ? safe_rename(path(file), path("gone.pak")) : safe_remove(path(file))));
        QCOMPARE(QFile::exists(path(file)), !rename);
        const QStringList lines = log.lines();
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith(retry + "1/3: ") && lines[0].size() > retry.size() + 5, qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(retry + "2/3: "), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith(final + shown_path(path(file)) + " - "), qPrintable(lines[2]));
        QCOMPARE(lines[2].section(" - ", -1), lines[0].section(": ", -1));  // the system's own description
    }
};

ZORBEL_TEST_MAIN(TestDownloadSafeOps)
#include "tst_download_safe_ops.moc"
