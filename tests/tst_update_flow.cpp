// The self-update from a newer version record to the swap script: download on the update
// thread, progress in the status label, the record's checksum, the script's text, the
// elevated start, the exit.

#include "app/mainwindow.h"
#include "app/modal.h"
#include "support/game_files.h"
#include "support/test_env.h"
#include "support/update_run.h"
#include "support/window_fixture.h"
#include "support/download_fixture.h"
#include "update/script_start.h"
#include "update/update_script.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

const QString kProgramName = QStringLiteral("zorbel-skins-1.2.exe");
const QString kProgramPath = QStringLiteral("/files/") + kProgramName;

QByteArray program_bytes(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 4096) & 0xff);
    return bytes;
}

}  // namespace

class TestUpdateFlow : public QObject, WindowHarness {
    Q_OBJECT

private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void newer_version_downloads_writes_the_script_and_exits_with_0()
    {
#ifdef Q_OS_WIN
        // There the script really starts (Wine runs it at once) and its taskkill ends this
        // suite; packaging/windows/check.sh drives the real update on Windows instead.
        QSKIP("the update script would end the suite's own process");
#endif
        const QByteArray program = program_bytes(12582912);
        TestReply reply = TestReply::file(program);
        // A pause in the middle, so that progress usually shows on the way. How many texts
        // appear depends on how Qt batches its progress reports, so only the closing ones
        // are counted on.
        reply.stall_after = 4 << 20;
        reply.stall_ms = 300;
        server->route(kProgramPath, reply);
        UpdateRun run(*this);
        QFile::remove(script_path());
        write_file(run.file(kProgramName),
                   QByteArray(20000000, 'x'));  // longer than the new file: must not leave a tail
        const int starts_before = recorded_script_starts().size();

        run.start(QStringLiteral("1.2"), server->url(kProgramPath));
        QTRY_VERIFY_WITH_TIMEOUT(run.finished(), 60000);

        QCOMPARE(boxes->exit_codes.first(), 0);
        QVERIFY(run.thread_running_at_info_box);
        QCOMPARE(run.boxes.first(), QStringLiteral("发现新版本 1.2，正在自动更新..."));
        QCOMPARE(run.boxes.size(), 1);
        QVERIFY(read_file(run.file(kProgramName)) == program);

        // The script's text itself is the update core suite's; here it must name this run's files.
        const QString expected =
            update_script_text(QCoreApplication::applicationFilePath(), run.file(kProgramName), script_path());
        QCOMPARE(QString::fromLocal8Bit(read_file(script_path())), expected);
        QFile::remove(script_path());

        const QStringList starts = recorded_script_starts();
        QCOMPARE(starts.size(), starts_before + 1);
        QCOMPARE(starts.last(), script_path());

        const QStringList texts = run.history->texts;
        QVERIFY2(texts.size() >= 4, qPrintable(texts.join('|')));
        QCOMPARE(texts.first(), QStringLiteral("📥 开始下载更新文件..."));
        QCOMPARE(texts.at(texts.size() - 3), QStringLiteral("📥 更新中，下载进度: 12.0MB/12.0MB"));
        QCOMPARE(texts.at(texts.size() - 2), QStringLiteral("📥 下载完成"));
        QCOMPARE(texts.last(), QStringLiteral("📥 下载完成，准备安装更新..."));
        for (int i = 1; i < texts.size() - 2; ++i)
            QVERIFY2(texts.at(i).startsWith(QStringLiteral("📥 更新中，下载进度: ")), qPrintable(texts.at(i)));
        QVERIFY(log->contains(QStringLiteral("[INFO] 下载完成")));
    }

    void a_failed_download_exits_with_1_data()
    {
        QTest::addColumn<TestReply>("reply");     // what the program's address answers
        QTest::addColumn<QString>("path");        // the record's download address on the server
        QTest::addColumn<bool>("folder_in_way");  // a folder stands at the program's name
        QTest::addColumn<QString>("box");         // the second box's text (its start when it ends in ": ")
        QTest::addColumn<QString>("log_line");    // the start of a line logged; empty: none
        QTest::addColumn<int>("requests");        // of `path`
        const QString failed = QStringLiteral("下载更新文件失败");
        const QString error = QStringLiteral("[ERROR] 下载失败: ");
        TestReply cut = TestReply::file(program_bytes(1 << 20));
        cut.truncate_after = 300000;
        const TestReply mz = TestReply::file("MZ");

        QTest::newRow("address ending in slash")
            << mz << "/files/" << false << failed << "[ERROR] 下载新版本失败: " << 0;
        QTest::newRow("parent folders") << mz << "/files/..\\..\\evil.exe" << false << failed << "" << 0;
        QTest::newRow("drive") << mz << "/files/C:\\evil.exe" << false << failed << "" << 0;
        QTest::newRow("dot dot") << mz << "/files/.." << false << failed << "" << 0;
        QTest::newRow("the uninstaller") << mz << "/files/uninstall.exe" << false << failed << "" << 0;
        QTest::newRow("error status") << TestReply::text("missing", 404) << kProgramPath << false << failed << error
                                      << 1;
        QTest::newRow("cut short") << cut << kProgramPath << false << failed << error << 1;
        QTest::newRow("folder in the way is a process error") << mz << kProgramPath << true << "更新过程出错: "
                                                              << "" << 0;
    }

    void a_failed_download_exits_with_1()
    {
        QFETCH(TestReply, reply);
        QFETCH(QString, path);
        QFETCH(bool, folder_in_way);
        QFETCH(QString, box);
        QFETCH(QString, log_line);
        server->route(kProgramPath, reply);
        UpdateRun run(*this);
        if (folder_in_way)
            QVERIFY(QDir(run.work.path()).mkpath(kProgramName + QStringLiteral("/inside")));
        run.start(QStringLiteral("1.2"), server->url(path));
        QTRY_VERIFY_WITH_TIMEOUT(run.finished(), 30000);
        QCOMPARE(boxes->exit_codes.first(), 1);
        const QString shown = run.boxes.value(1);
        QVERIFY2(box.endsWith(": ") ? shown.startsWith(box) : shown == box, qPrintable(shown));
        QVERIFY(log_line.isEmpty() || log->contains(log_line));
        QVERIFY(!log->contains(QStringLiteral("[INFO] 下载完成")));
        QTEST(server->request_count(path), "requests");
        QCOMPARE(QDir(run.work.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void checksum_of_the_record_decides_whether_the_file_may_run_data()
    {
        QTest::addColumn<QString>("checksum");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("exit_code");
        const QByteArray program = program_bytes(300000);
        const QString sha256 = QCryptographicHash::hash(program, QCryptographicHash::Sha256).toHex();
        QTest::newRow("matching, upper case") << sha256.toUpper() << 1 << 0;
        QTest::newRow("tampered file") << QString(sha256).replace(0, 1, sha256.at(0) == '0' ? "1" : "0") << 1 << 1;
        QTest::newRow("not a checksum") << sha256.left(63) + QLatin1Char('g') << 0 << 1;
    }
    void checksum_of_the_record_decides_whether_the_file_may_run()
    {
        QFETCH(QString, checksum);
        QFETCH(int, requests);
        QFETCH(int, exit_code);
#ifdef Q_OS_WIN
        if (exit_code == 0)
            QSKIP("the update script would end the suite's own process");
#endif
        const QByteArray program = program_bytes(300000);
        server->route(kProgramPath, TestReply::file(program));
        UpdateRun run(*this);
        QFile::remove(script_path());
        const int starts_before = recorded_script_starts().size();
        run.start(QStringLiteral("1.2"), server->url(kProgramPath), {{QStringLiteral("RIzured校验"), checksum}});
        QTRY_VERIFY_WITH_TIMEOUT(run.finished(), 30000);
        QCOMPARE(boxes->exit_codes.first(), exit_code);
        QCOMPARE(server->request_count(kProgramPath), requests);
        if (exit_code == 0) {
            QVERIFY(read_file(run.file(kProgramName)) == program);
            QCOMPARE(recorded_script_starts().size(), starts_before + 1);
            QFile::remove(script_path());
            return;
        }
        QCOMPARE(run.boxes.value(1), QStringLiteral("下载更新文件失败"));
        QVERIFY(log->contains(QStringLiteral("[ERROR] 更新文件校验失败: ")));
        QCOMPARE(QDir(run.work.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(!QFile::exists(script_path()));
        QCOMPARE(recorded_script_starts().size(), starts_before);
    }

    void redirect_is_followed_to_the_program_file()
    {
#ifdef Q_OS_WIN
        // There the script really starts (Wine runs it at once) and its taskkill ends this
        // suite; packaging/windows/check.sh drives the real update on Windows instead.
        QSKIP("the update script would end the suite's own process");
#endif
        const QByteArray program = program_bytes(300000);
        server->route(kProgramPath, TestReply::file(program));
        TestReply moved;
        moved.redirect_to = server->url(kProgramPath);
        server->route(QStringLiteral("/latest/zorbel-skins-new.exe"), moved);
        UpdateRun run(*this);
        QFile::remove(script_path());
        run.start(QStringLiteral("1.10"), server->url(QStringLiteral("/latest/zorbel-skins-new.exe")));
        QTRY_VERIFY_WITH_TIMEOUT(run.finished(), 30000);
        QCOMPARE(boxes->exit_codes.first(), 0);
        QVERIFY(read_file(run.file(QStringLiteral("zorbel-skins-new.exe"))) == program);
        QVERIFY(QFile::exists(script_path()));
        QFile::remove(script_path());
    }

    void fatal_exit_first_ends_the_skin_transfers()
    {
        open_window();
        serve_skin_files(*server, {{QStringLiteral("a.pak"), stalled_reply(1 << 20, 65536)}});
        QTemporaryDir game;
        DownloadManager *manager = DownloadManager::instance();
        QSignalSpy progress(manager, &DownloadManager::progress_updated);
        manager->add_task(
            make_task(QStringLiteral("a"), game.path(), QStringLiteral("a.pak"), QStringLiteral("a.sig")));
        manager->add_task(
            make_task(QStringLiteral("b"), game.path(), QStringLiteral("b.pak"), QStringLiteral("b.sig")));
        QVERIFY(progress.wait(10000));
        window->_force_close_program(QStringLiteral("检查更新失败，请重启软件重试"));
        QCOMPARE(boxes->exit_codes, QList<int>{1});
        QVERIFY(!manager->has_active_tasks());
    }

    void progress_is_shown_at_most_every_tenth_of_a_second_but_always_at_the_end()
    {
        open_window();
        if (!window->dir_label)
            window->dir_label = new QLabel(window.get());
        window->dir_label->setText(QStringLiteral("✓ 目录"));
        const qint64 total = 12582912;
        window->_on_download_progress(0, -1);
        window->_on_download_progress(5, 0);
        QCOMPARE(window->dir_label->text(), QStringLiteral("✓ 目录"));
        window->_on_download_progress(1048576, total);
        QCOMPARE(window->dir_label->text(), QStringLiteral("📥 更新中，下载进度: 1.0MB/12.0MB"));
        window->_on_download_progress(2097152, total);  // within 0.1 s of the last text
        QCOMPARE(window->dir_label->text(), QStringLiteral("📥 更新中，下载进度: 1.0MB/12.0MB"));
        window->_on_download_progress(total, total);
        QCOMPARE(window->dir_label->text(), QStringLiteral("📥 更新中，下载进度: 12.0MB/12.0MB"));
    }
};

ZORBEL_TEST_MAIN(TestUpdateFlow)
#include "tst_update_flow.moc"
