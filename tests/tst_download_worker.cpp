// One skin's download from click to files: requests, files in the mod folder, and what
// a failure, a cancel or a hostile file name leaves behind.

#include "download/download_manager.h"
#include "download/install_manifest.h"
#include "support/download_fixture.h"
#include "support/fault_servers.h"
#include "support/test_env.h"

#include <QElapsedTimer>

class TestDownloadWorker : public QObject {
    Q_OBJECT

    DownloadManager *manager = DownloadManager::instance();
    std::unique_ptr<TestServer> server;
    std::unique_ptr<QTemporaryDir> game;
    std::unique_ptr<SignalLog> log;  // the manager's signals since the case began

    QString mods() const { return mod_folder(game->path()); }
    QString mod_file(const QString &name) const { return join_path(mods(), name); }

    // Runs `task` through the manager and waits for its end.
    void run_to_end(const DownloadTask &task)
    {
        manager->add_task(task);
        QTRY_VERIFY_WITH_TIMEOUT(!manager->has_active_tasks(), 15000);
    }

private slots:
    void init()
    {
        server = std::make_unique<TestServer>();
        game = std::make_unique<QTemporaryDir>();
        log = std::make_unique<SignalLog>(manager);
    }

    void cleanup()
    {
        manager->cancel_all();
        log.reset();
        server.reset();
    }

    void install_puts_both_files_in_place()
    {
        const QByteArray pak(30000, 'p');
        serve_skin_files(*server, {{"x.pak", TestReply::file(pak)}, {"x.sig", TestReply::file("signature")}});
        run_to_end(make_task("X", game->path(), "x.pak", "x.sig", "主 类", "a&b"));

        QCOMPARE(log->events.count("completed:X"), 1);
        QVERIFY(log->messages.isEmpty());
        QCOMPARE(files_below(mods()), QStringList({"x.pak", "x.sig"}));
        QCOMPARE(read_file(mod_file("x.pak")), pak);
        QCOMPARE(read_file(mod_file("x.sig")), QByteArray("signature"));

        // Two size probes first, then the two bodies; the values travel as they stand.
        const QList<TestRequest> requests = server->requests();
        QCOMPARE(requests.size(), 4);
        QStringList methods;
        for (const TestRequest &request : requests)
            methods << request.method;
        QCOMPARE(methods, QStringList({"HEAD", "HEAD", "GET", "GET"}));
        QCOMPARE(requests[0].query.value("MainCategory"), QString("主 类"));
        QCOMPARE(requests[0].query.value("pak_original"), QString("x.pak"));
        QCOMPARE(requests[1].query.value("sig_original"), QString("x.sig"));
        QVERIFY(requests[2].target.contains("&subcategory=a&b&pak_original=x.pak"));
    }

    void an_older_install_is_replaced()
    {
        install_pair(game->path(), "x");
        serve_skin_files(*server, {{"x.pak", TestReply::file("new pak")}, {"x.sig", TestReply::file("new sig")}});
        run_to_end(make_task("X", game->path(), "x.pak", "x.sig"));
        QVERIFY(log->has("completed:X"));
        QCOMPARE(read_file(mod_file("x.pak")), QByteArray("new pak"));
        QCOMPARE(read_file(mod_file("x.sig")), QByteArray("new sig"));
        QCOMPARE(files_below(mods()), QStringList({"x.pak", "x.sig"}));
    }

    void redirects_are_followed_for_the_body()
    {
        set_base_url(server->url("/base"));
        server->route(skin_download_path(), [this](const TestRequest &request) {
            if (request.query.contains("pak_original")) {
                TestReply moved;
                moved.redirect_to = server->url("/files/x.pak");
                // The probe's length is the redirect's own, longer than the file.
                if (request.method == "HEAD")
                    moved.headers = {{"Content-Length", "5000"}};
                return moved;
            }
            return TestReply::file("sig");
        });
        TestReply target = TestReply::file("moved pak");
        target.chunked = true;  // no length of its own
        server->route("/files/x.pak", target);
        run_to_end(make_task("X", game->path(), "x.pak", "x.sig"));
        QVERIFY(log->has("completed:X"));
        QCOMPARE(read_file(mod_file("x.pak")), QByteArray("moved pak"));
    }

    void missing_sig_keeps_the_earlier_install()
    {
        install_pair(game->path(), "x");
        set_base_url(server->url("/base"));
        server->route(skin_download_path(), [](const TestRequest &request) {
            if (request.query.contains("sig_original") && request.method == "GET")
                return TestReply::text("gone", 404);
            return TestReply::file(request.query.contains("pak_original") ? "new pak" : "new sig");
        });
        run_to_end(make_task("X", game->path(), "x.pak", "x.sig"));
        QCOMPARE(log->events.count("failed:X"), 1);
        QVERIFY2(log->messages.first().contains("404"), qPrintable(log->messages.first()));
        QVERIFY(!log->has("completed:X"));
        QCOMPARE(read_file(mod_file("x.pak")), QByteArray("old pak"));
        QCOMPARE(read_file(mod_file("x.sig")), QByteArray("old sig"));
        QCOMPARE(files_below(mods()), QStringList({"x.pak", "x.sig"}));
    }

    void cancel_ends_a_stalled_body_at_once()
    {
        write_file(mod_file("x.pak"), "old pak");
        serve_skin_files(*server, {{"x.pak", TestReply::file("new pak")}, {"x.sig", stalled_reply(50000, 2000)}});
        manager->add_task(make_task("X", game->path(), "x.pak", "x.sig"));
        log->clear();
        // The .pak has arrived and the .sig has begun when the user cancels.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(mod_file("x.sig.tmp")), 10000);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(manager->cancel_task("X"));
        QVERIFY2(clock.elapsed() < 1000, "the cancel waited for the server");
        QCoreApplication::processEvents();
        QCOMPARE(log->events.first(), QString("cancelled:X"));
        QVERIFY(!log->has("failed:X") && !log->has("completed:X"));
        QCOMPARE(files_below(mods()), QStringList({"x.pak"}));
        QCOMPARE(read_file(mod_file("x.pak")), QByteArray("old pak"));
    }

    void file_names_cannot_leave_the_mod_folder()
    {
        serve_skin_files(*server,
                         {{"../../evil.pak", TestReply::file("pak")}, {"..\\..\\evil.sig", TestReply::file("sig")}});
        run_to_end(make_task("X", game->path(), "../../evil.pak", "..\\..\\evil.sig"));
        QVERIFY(log->has("completed:X"));
        QCOMPARE(files_below(game->path()),
                 QStringList({"DreadHunger/Content/Paks/qvmods/evil.pak", "DreadHunger/Content/Paks/qvmods/evil.sig"}));
        QCOMPARE(server->requests().first().query.value("pak_original"), QString("../../evil.pak"));
    }

    void unusable_file_names_fail_before_any_request_data()
    {
        QTest::addColumn<QStringList>("names");  // of the .pak and the .sig
        QTest::newRow("no sig name") << QStringList{"x.pak", ""};
        QTest::newRow("the install manifest's name") << QStringList{"x.pak", "sub/Zorbel-Installed.JSON"};
        QTest::newRow("parent folder") << QStringList{"x.pak", "sub/.."};
        QTest::newRow("current folder") << QStringList{"x.pak", "sub\\."};
        QTest::newRow("drive or stream") << QStringList{"c:evil.pak", "x.sig"};
        QTest::newRow("device with extension") << QStringList{"CON.pak", "x.sig"};
        QTest::newRow("device in lower case") << QStringList{"x.pak", "sub/com1.sig"};
        QTest::newRow("last numbered device") << QStringList{"COM9.pak", "x.sig"};
        QTest::newRow("trailing dot") << QStringList{"x.pak", "x.sig."};
        QTest::newRow("trailing space") << QStringList{"x.pak", "x.sig "};
        QTest::newRow("control character") << QStringList{QStringLiteral("evil.exe\u0000.pak"), "x.sig"};
        QTest::newRow("COM0") << QStringList{"COM0.pak", "x.sig"};
        QTest::newRow("LPT with a superscript") << QStringList{"x.pak", QStringLiteral("lpt\u00b9.sig")};
        QTest::newRow("console device") << QStringList{"x.pak", "CONOUT$"};
        QTest::newRow("transfer file") << QStringList{"x.pak", "x.sig.tmp"};
        QTest::newRow("set-aside copy") << QStringList{"x.pak", "x.pak.SetAside"};
    }

    void unusable_file_names_fail_before_any_request()
    {
        QFETCH(QStringList, names);
        serve_skin_files(*server, {});
        run_to_end(make_task("X", game->path(), names[0], names[1]));
        QVERIFY(log->has("failed:X"));
        QVERIFY2(log->messages.first().startsWith("无效的文件名: "), qPrintable(log->messages.first()));
        QCOMPARE(server->request_count(), 0);
        QCOMPARE(files_below(game->path()), QStringList());
    }

    void a_mod_folder_that_cannot_be_made_fails()
    {
        write_file(join_path(game->path(), "DreadHunger"), "a file where a folder belongs");
        serve_skin_files(*server, {});
        run_to_end(make_task("X", game->path(), "x.pak", "x.sig"));
        QCOMPARE(log->messages, QStringList({"无法创建目录: " + mods()}));
        QCOMPARE(server->request_count(), 0);
    }

    void a_skin_for_sale_is_refused_without_a_request()
    {
        serve_skin_files(*server, {});
        run_to_end(make_task("X", game->path(), "buy_me.txt", "x.sig"));
        QCOMPARE(log->messages, QStringList({"此皮肤需要购买: buy_me.txt"}));
        QCOMPARE(server->request_count(), 0);
        QVERIFY(QDir(mods()).exists());
    }

    void an_install_is_remembered_until_its_files_change()
    {
        write_file(mod_file(install_manifest::FILE_NAME), "{\"files\": [damaged");  // knows nothing, fails nothing
        const QByteArray pak(20000, 'p');
        serve_skin_files(*server, {{"x.pak", TestReply::file(pak)}, {"x.sig", TestReply::file("sig")}});
        run_to_end(make_task("X", game->path(), "x.pak", "x.sig"));  // no hashes given: computed while written
        QVERIFY(log->has("completed:X"));
        QCOMPARE(install_manifest::unchanged_file_sha256(mods(), "x.pak").toHex(), sha256_hex(pak).toLatin1());
        QCOMPARE(install_manifest::unchanged_file_sha256(mods(), "x.sig").toHex(), sha256_hex("sig").toLatin1());
        write_file(mod_file("x.sig"), "changed by hand");
        QVERIFY(install_manifest::unchanged_file_sha256(mods(), "x.sig").isEmpty());
    }

    void announced_sizes_are_untrusted_numbers_data()
    {
        QTest::addColumn<QByteArray>("pak_announced");  // by the probes
        QTest::addColumn<QByteArray>("sig_announced");
        QTest::addColumn<int>("body");  // bytes of the .pak's body
        QTest::addColumn<bool>("completes");
        const QByteArray huge = "9223372036854775000";
        QTest::newRow("sum past the 64-bit limit") << huge << huge << 100 << false;
        QTest::newRow("1 byte announced, 24 MB sent") << QByteArray("1") << QByteArray("0") << 24000000 << true;
    }

    void announced_sizes_are_untrusted_numbers()
    {
        QFETCH(QByteArray, pak_announced);
        QFETCH(QByteArray, sig_announced);
        QFETCH(int, body);
        QFETCH(bool, completes);
        set_base_url(server->url("/base"));
        server->route(skin_download_path(), [=](const TestRequest &request) {
            const bool pak = request.query.contains("pak_original");
            TestReply reply = TestReply::file(pak ? QByteArray(body, 'p') : "s");
            if (request.method == "HEAD") {
                reply.omit_length_on_head = true;
                reply.headers = {{"Content-Length", pak ? pak_announced : sig_announced}};
            }
            return reply;
        });
        run_to_end(make_task("X", game->path(), "x.pak", "x.sig"));
        QCOMPARE(log->has("completed:X"), completes);
        QVERIFY2(completes || log->messages.value(0).contains("无效的文件大小"), qPrintable(log->messages.value(0)));
        QVERIFY(std::all_of(log->progress.begin(), log->progress.end(), [](int percent) { return percent >= 0; }));
    }

    void progress_spans_both_files_and_ends_at_100()
    {
        serve_skin_files(*server, {{"x.pak", TestReply::file(QByteArray(1000000, 'p'))},
                                   {"x.sig", TestReply::file(QByteArray(1000, 's'))}});
        run_to_end(make_task("X", game->path(), "x.pak", "x.sig"));
        QVERIFY(log->has("completed:X"));
        QVERIFY(log->progress.size() >= 1001000 / 8192);  // one report per piece of at most 8192 bytes
        QCOMPARE(log->progress.last(), 100);
        QVERIFY(log->progress.first() < 5);
        QVERIFY(std::is_sorted(log->progress.begin(), log->progress.end()));
        QVERIFY(log->progress.indexOf(100) > log->progress.size() - 3);  // 100 only once the .sig has come
        QCOMPARE(manager->get_current_progress(), 0);
    }

    void a_failed_download_puts_nothing_in_place_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");   // a part of the failure message
        QTest::addColumn<QStringList>("left");  // below the mod folder afterwards
        QTest::newRow("truncated body") << "truncated"
                                        << "" << QStringList();
        QTest::newRow("dropped connection") << "dropped"
                                            << "x.pak" << QStringList();
        QTest::newRow("sizes unknown to the server") << "no lengths"
                                                     << "文件大小" << QStringList();
        // Nothing is put in place, so no new .pak stands beside the blocked .sig.
        QTest::newRow("a folder where x.sig goes") << "folder at x.sig"
                                                   << "x.sig" << QStringList{"x.sig/keep"};
    }

    void a_failed_download_puts_nothing_in_place()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QMap<QString, TestReply> replies{{"x.pak", TestReply::file("new pak")}, {"x.sig", TestReply::file("new sig")}};
        if (fault == "truncated") {
            replies["x.pak"] = TestReply::file(QByteArray(20000, 'p'));
            replies["x.pak"].truncate_after = 5000;
        }
        for (TestReply &reply : replies)
            reply.omit_length_on_head = fault == "no lengths";
        if (fault == "folder at x.sig")
            write_file(mod_file("x.sig/keep"), "blocks the name");
        serve_skin_files(*server, replies);
        DroppingServer dropping(20000);
        QVERIFY(dropping.isListening());
        if (fault == "dropped")
            set_base_url(QStringLiteral("http://127.0.0.1:%1/base").arg(dropping.serverPort()));
        run_to_end(make_task("X", game->path(), "x.pak", "x.sig"));
        QVERIFY(log->has("failed:X"));
        QVERIFY(!log->has("completed:X"));
        QVERIFY2(log->messages.first().contains(message), qPrintable(log->messages.first()));
        QTEST(files_below(mods()), "left");
    }

#ifdef Q_OS_WIN
    void an_installed_file_held_open_fails_the_task_and_keeps_the_pair()
    {
        install_pair(game->path(), "x");
        const HeldOpen held(mod_file("x.pak"));
        QVERIFY(held.held());
        serve_skin_files(*server, {{"x.pak", TestReply::file("new pak")}, {"x.sig", TestReply::file("new sig")}});
        LogCapture lines;
        run_to_end(make_task("X", game->path(), "x.pak", "x.sig"));
        QVERIFY(log->has("failed:X"));
        QVERIFY2(log->messages.first().contains("x.pak"), qPrintable(log->messages.first()));
        QVERIFY(lines.contains(QStringLiteral("重命名重试 1/3")));
        QCOMPARE(files_below(mods()), QStringList({"x.pak", "x.sig"}));
        QCOMPARE(read_file(mod_file("x.pak")), QByteArray("old pak"));
        QCOMPARE(read_file(mod_file("x.sig")), QByteArray("old sig"));
    }
#endif
};

ZORBEL_TEST_MAIN(TestDownloadWorker)
#include "tst_download_worker.moc"
