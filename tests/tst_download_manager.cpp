// The download queue: the order of its signals, duplicates, cancelling waiting and
// running tasks, and reports that arrive after their task was replaced.

#include "download/download_manager.h"
#include "download/download_worker.h"
#include "download/set_aside.h"
#include "support/download_fixture.h"
#include "support/test_env.h"

#include <QElapsedTimer>
#include <QSemaphore>

#include <mutex>
#include <thread>

class TestDownloadManager : public QObject {
    Q_OBJECT

    DownloadManager *manager = DownloadManager::instance();
    std::unique_ptr<TestServer> server;
    std::unique_ptr<QTemporaryDir> game;

    // "stall": the .pak's body stops after its first bytes; "quiet": it stops before any
    // (so the worker reports no progress of its own); "refused": the .pak arrives, the .sig
    // is answered with an error status (not resumed); "ok": small files; a missing name is
    // answered 404.
    DownloadTask task(const QString &name, const QString &kind)
    {
        return make_task(name, game->path(), kind + QStringLiteral(".pak"), kind + QStringLiteral(".sig"));
    }

    quint64 serial() const { return manager->test_hook().current_serial(); }

    // Lets the running worker go on from its first progress report, where `hold` (the lock
    // that report takes) keeps it, and returns once it has emitted `outcome`: the report
    // is then on its way to the manager, which has not seen it yet.
    template <typename Outcome> bool let_worker_report(std::unique_lock<std::mutex> &hold, Outcome outcome)
    {
        const auto emitted = std::make_shared<QSemaphore>();
        DownloadWorker *worker = manager->test_hook().current_worker();
        connect(
            worker, outcome, worker, [emitted] { emitted->release(); }, Qt::DirectConnection);
        hold.unlock();
        return emitted->tryAcquire(1, 10000);
    }

private slots:
    void init()
    {
        server = std::make_unique<TestServer>();
        game = std::make_unique<QTemporaryDir>();
        serve_skin_files(*server, {{"stall.pak", stalled_reply(4000, 1000)},
                                   {"stall.sig", TestReply::file("sig")},
                                   {"quiet.pak", stalled_reply(4000, 0)},
                                   {"quiet.sig", TestReply::file("sig")},
                                   {"refused.pak", TestReply::file(QByteArray(3000, 'r'))},
                                   {"refused.sig", TestReply::text("error", 500)},
                                   {"ok.pak", TestReply::file(QByteArray(3000, 'p'))},
                                   {"ok.sig", TestReply::file("sig")}});
    }

    void cleanup()
    {
        manager->cancel_all();
        QVERIFY(!manager->has_active_tasks());
        server.reset();
    }

    void adding_while_idle_starts_at_once()
    {
        SignalLog log(manager);
        const DownloadTask a = task("A", "stall");
        manager->add_task(a);
        QCOMPARE(log.events, QStringList({"queue", "started:A", "queue"}));
        QVERIFY(manager->get_queue().isEmpty());
        QCOMPARE(manager->get_current_task(), a);
        QVERIFY(manager->has_active_tasks());
    }

    void duplicates_are_dropped_silently()
    {
        manager->add_task(task("A", "stall"));
        manager->add_task(task("B", "stall"));
        SignalLog log(manager);
        manager->add_task(task("A", "ok"));  // running
        manager->add_task(task("B", "ok"));  // waiting
        QVERIFY(log.events.isEmpty());
        QCOMPARE(manager->get_queue().size(), 1);
        QCOMPARE(manager->get_current_task()->value("skin_id").toString(), QString("A"));
    }

    void completion_starts_the_next_task()
    {
        SignalLog log(manager);
        manager->add_task(task("A", "ok"));
        manager->add_task(task("B", "stall"));
        QTRY_VERIFY_WITH_TIMEOUT(log.has("completed:A"), 10000);
        QCOMPARE(log.events,
                 QStringList({"queue", "started:A", "queue", "queue", "completed:A", "queue", "started:B", "queue"}));
        QCOMPARE(manager->get_current_task()->value("skin_id").toString(), QString("B"));
        QCOMPARE(log.progress.last(), 100);
    }

    void failure_is_reported_and_the_next_task_starts()
    {
        manager->add_task(task("A", "missing"));
        manager->add_task(task("B", "stall"));
        SignalLog log(manager);
        QTRY_VERIFY_WITH_TIMEOUT(log.has("failed:A"), 10000);
        QCOMPARE(log.events, QStringList({"failed:A", "queue", "started:B", "queue"}));
        QVERIFY(!log.messages.first().isEmpty());
        QVERIFY(manager->get_queue().isEmpty());
    }

    void cancelling_a_waiting_task_leaves_the_running_one()
    {
        const DownloadTask a = task("A", "stall");
        manager->add_task(a);
        manager->add_task(task("B", "stall"));
        manager->add_task(task("C", "stall"));
        SignalLog log(manager);
        QVERIFY(manager->cancel_task("B"));
        QCOMPARE(log.events, QStringList({"queue"}));
        QCOMPARE(manager->get_current_task(), a);
        QCOMPARE(manager->get_queue().size(), 1);
        QCOMPARE(manager->get_queue().first()->value("skin_id").toString(), QString("C"));
    }

    void cancelling_the_running_task_waits_for_its_worker()
    {
        manager->add_task(task("A", "stall"));
        manager->add_task(task("B", "stall"));
        SignalLog log(manager);
        // The body has begun: the .tmp file exists and the worker is blocked on the server.
        const QString temp = join_path(mod_folder(game->path()), "stall.pak.tmp");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(temp), 10000);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(manager->cancel_task("A"));
        QVERIFY2(clock.elapsed() < 1000, "cancel waited for the stalled transfer");
        QVERIFY2(!QFile::exists(temp), "cancel returned before the worker cleaned up");
        QCOMPARE(log.events, QStringList({"cancelled:A", "queue", "started:B", "queue"}));
        QCOMPARE(manager->get_current_progress(), 0);
    }

    void a_cancel_once_the_move_has_begun_lets_the_task_report_its_end()
    {
        // A folder stands where the installed .pak is set aside: every attempt to move it
        // fails, with the pauses between retries, and the install fails in the end.
        const QString mods = mod_folder(game->path());
        write_file(join_path(mods, "ok.pak"), "installed");
        write_file(join_path(mods, "ok.pak" + SET_ASIDE_SUFFIX + "/in the way"), "x");
        LogCapture lines;
        SignalLog log(manager);
        manager->add_task(task("A", "ok"));
        QTRY_VERIFY_WITH_TIMEOUT(lines.contains("重命名重试 1/3"), 10000);
        QVERIFY(manager->cancel_task("A"));
        QTRY_VERIFY_WITH_TIMEOUT(log.has("failed:A"), 10000);
        QVERIFY(!log.has("cancelled:A"));
        QVERIFY(log.messages.first().startsWith("无法替换已安装的文件: ok.pak"));
        QCOMPARE(read_file(join_path(mods, "ok.pak")), QByteArray("installed"));
    }

    void unknown_id_changes_nothing()
    {
        manager->add_task(task("A", "stall"));
        SignalLog log(manager);
        QVERIFY(!manager->cancel_task("nobody"));
        QVERIFY(log.events.isEmpty());
        QVERIFY(manager->has_active_tasks());
    }

    void progress_of_another_task_is_ignored()
    {
        manager->add_task(task("A", "quiet"));
        SignalLog log(manager);
        manager->update_progress(serial(), "other", 50);
        manager->update_progress(serial() + 1, "A", 60);
        QCoreApplication::processEvents();
        QCOMPARE(manager->get_current_progress(), 0);
        QVERIFY(log.progress.isEmpty());

        manager->update_progress(serial(), "A", 70);
        QCOMPARE(manager->get_current_progress(), 70);
        QTRY_COMPARE(log.progress, QList<int>({70}));
        QCOMPARE(log.progress_names, QStringList({"A"}));
    }

    void a_burst_of_reports_arrives_whole_and_in_order()
    {
        manager->add_task(task("A", "quiet"));
        SignalLog log(manager);
        const quint64 current = serial();
        QList<int> sent;
        for (int i = 0; i < 5000; ++i)
            sent << i % 101;
        // As the worker does: from its own thread, far faster than any GUI repaints.
        std::thread reporter([&] {
            for (int value : sent)
                manager->update_progress(current, "A", value);
        });
        reporter.join();
        QTRY_COMPARE(log.progress.size(), sent.size());
        QCOMPARE(log.progress, sent);
        QCOMPARE(log.progress_names.count("A"), sent.size());
    }

    void reports_held_for_the_next_batch_come_before_the_outcome()
    {
        // A paid skin: the worker reports its failure at once, without a request.
        manager->add_task(make_task("A", game->path(), "buy_me.txt", "buy_me.sig"));
        manager->update_progress(serial(), "A", 10);
        manager->update_progress(serial(), "A", 20);
        manager->test_hook().restart_batch_interval();  // a batch went out just now: these two wait for the next one
        QStringList order;
        connect(manager, &DownloadManager::progress_updated, this,
                [&](const QString &, int p) { order << QString::number(p); });
        connect(manager, &DownloadManager::task_failed, this, [&](const QString &n) { order << "failed:" + n; });
        QTRY_VERIFY_WITH_TIMEOUT(order.contains("failed:A"), 10000);
        disconnect(manager, nullptr, this, nullptr);
        QCOMPARE(order, QStringList({"10", "20", "failed:A"}));
    }

    void progress_queued_before_a_cancel_is_dropped()
    {
        manager->add_task(task("A", "stall"));
        manager->update_progress(serial(), "A", 30);  // accepted; its signal is still queued
        SignalLog log(manager);
        QVERIFY(manager->cancel_task("A"));
        QCoreApplication::processEvents();
        QCOMPARE(log.events, QStringList({"cancelled:A", "queue"}));
        QVERIFY2(log.progress.isEmpty(), "a cancelled task reported progress after its cancellation");
    }

    void late_reports_leave_the_next_task_alone()
    {
        // A's and B's failures are still queued when each is cancelled. (A success cannot
        // come late: once a worker moves its files into place, a cancel waits for its end.)
        std::unique_lock<std::mutex> hold = manager->test_hook().hold_progress_reports();
        manager->add_task(task("A", "refused"));
        manager->add_task(task("B", "refused"));
        manager->add_task(task("C", "quiet"));
        QVERIFY(let_worker_report(hold, &DownloadWorker::error));
        hold.lock();
        QVERIFY(manager->cancel_task("A"));
        QVERIFY(let_worker_report(hold, &DownloadWorker::error));
        QVERIFY(manager->cancel_task("B"));
        const DownloadTask c = manager->get_current_task();
        QCOMPARE(c->value("skin_id").toString(), QString("C"));

        SignalLog log(manager);
        QCoreApplication::processEvents();
        QVERIFY(log.events.isEmpty());
        QVERIFY(log.progress.isEmpty());
        QCOMPARE(manager->get_current_task(), c);

        // C still runs on its own thread and can be cancelled as usual.
        QVERIFY(manager->cancel_task("C"));
        QCOMPARE(log.events, QStringList({"cancelled:C", "queue"}));
    }

    void cancel_all_ends_running_and_waiting_tasks()
    {
        manager->add_task(task("A", "stall"));
        manager->add_task(task("B", "b"));
        manager->add_task(task("C", "c"));
        SignalLog log(manager);
        manager->cancel_all();
        QCOMPARE(log.events, QStringList({"queue", "cancelled:A", "queue"}));
        QVERIFY(!manager->has_active_tasks());
        QVERIFY(!manager->get_current_task());
        for (const TestRequest &request : server->requests())
            QCOMPARE(request.query.value("pak_original", request.query.value("sig_original")).left(5),
                     QString("stall"));
    }
};

ZORBEL_TEST_MAIN(TestDownloadManager)
#include "tst_download_manager.moc"
