// The shared HTTP session against the in-process test server.

#include "app/http_session.h"
#include "support/fault_servers.h"
#include "support/test_env.h"
#include "support/test_server.h"

#include <QElapsedTimer>
#include <QTcpServer>

#include <curl/curl.h>

#include <thread>

namespace {

HttpRequest request_to(const QString &url)
{
    HttpRequest request;
    request.url = url;
    return request;
}

}  // namespace

class TestHttpSession : public QObject {
    Q_OBJECT

private slots:
    void sequential_requests_share_one_connection()
    {
        TestServer server;
        server.route("/a", TestReply::text("one"));
        HttpRequest request = request_to(server.url("/a"));
        QCOMPARE(session().get(request).body, QByteArray("one"));
        QCOMPARE(session().get(request).body, QByteArray("one"));
        const auto requests = server.requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].remote_port, requests[1].remote_port);
    }

    void two_threads_use_the_session_at_once()
    {
        TestServer server;
        std::atomic_int in_flight{0};
        std::atomic_int most_at_once{0};
        std::atomic_bool both_arrived{false};
        server.route("/slow", [&](const TestRequest &) {
            const int now = ++in_flight;
            most_at_once = std::max(most_at_once.load(), now);
            // Hold the first request until the second one is in flight too (bounded).
            for (int i = 0; i < 500 && in_flight < 2 && !both_arrived; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            both_arrived = true;
            --in_flight;
            return TestReply::text(QByteArray(100000, 'x'));
        });
        HttpResponse first, second;
        HttpRequest request = request_to(server.url("/slow"));
        std::thread other([&] { first = session().get(request); });
        second = session().get(request);
        other.join();
        QCOMPARE(first.body.size(), 100000);
        QCOMPARE(second.body.size(), 100000);
        QCOMPARE(most_at_once.load(), 2);
    }

    void refused_connection_fails_without_a_status()
    {
        const HttpResponse response =
            session().get(request_to(QStringLiteral("https://127.0.0.1:%1/x").arg(unused_port())));
        QVERIFY(!response.ok());
        QCOMPARE(response.status, 0);
        QVERIFY(!response.error.isEmpty());
    }

    void failed_connection_attempt_is_tried_four_times_in_all()
    {
        // Accepts and immediately closes at the TLS handshake: a failed connection attempt.
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        int accepted = 0;
        connect(&listener, &QTcpServer::newConnection, [&] {
            while (QTcpSocket *socket = listener.nextPendingConnection()) {
                ++accepted;
                socket->abort();
                socket->deleteLater();
            }
        });
        HttpResponse response;
        bool done = false;
        std::thread worker([&] {
            HttpRequest request = request_to(QStringLiteral("https://127.0.0.1:%1/x").arg(listener.serverPort()));
            response = session().get(request);
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
        worker.join();
        QVERIFY(!response.ok());
        QCOMPARE(accepted, 4);
    }

    // Which failures the session tries again: those that ended before a connection was
    // made. Nothing listening (a refused connection) is one of them.
    void connection_failures_are_retried_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("retried");
        QTest::newRow("unresolved host") << int(CURLE_COULDNT_RESOLVE_HOST) << false << true;
        QTest::newRow("refused") << int(CURLE_COULDNT_CONNECT) << false << true;
        QTest::newRow("TLS handshake") << int(CURLE_SSL_CONNECT_ERROR) << false << true;
        QTest::newRow("time-out while connecting") << int(CURLE_OPERATION_TIMEDOUT) << false << true;
        QTest::newRow("time-out waiting for data") << int(CURLE_OPERATION_TIMEDOUT) << true << false;
        QTest::newRow("no answer") << int(CURLE_GOT_NOTHING) << true << false;
        QTest::newRow("connection reset") << int(CURLE_RECV_ERROR) << true << false;
        QTest::newRow("short body") << int(CURLE_PARTIAL_FILE) << true << false;
    }

    void connection_failures_are_retried()
    {
        QFETCH(int, code);
        QFETCH(bool, connected);
        QFETCH(bool, retried);
        QCOMPARE(is_connection_failure(code, connected), retried);
    }

    void a_total_limit_bounds_trickles_and_connection_retries()
    {
        // Without the limit, the trickle ends whole after 2 s and the handshake that never
        // comes is tried four times.
        TrickleHttpServer trickle(100, 20);
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QList<QTcpSocket *> held;
        connect(&silent, &QTcpServer::newConnection, [&] {
            while (QTcpSocket *socket = silent.nextPendingConnection())
                held << socket;
        });
        HttpResponse trickled, unanswered;
        std::atomic_bool done{false};
        std::thread worker([&] {
            HttpRequest request;
            request.timeout_ms = 300;
            request.total_ms = 300;
            request.url = QStringLiteral("http://127.0.0.1:%1/x").arg(trickle.serverPort());
            trickled = session().get(request);
            request.url = QStringLiteral("https://127.0.0.1:%1/x").arg(silent.serverPort());
            unanswered = session().get(request);
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
        worker.join();
        QVERIFY(trickled.timed_out);
        QVERIFY(!trickled.ok());
        QVERIFY(!unanswered.ok());
        QCOMPARE(held.size(), 1);
    }

    void a_body_beyond_its_limit_fails_the_request()
    {
        TestServer server;
        server.route("/big", TestReply::text(QByteArray(2000, 'b')));
        HttpRequest request = request_to(server.url("/big"));
        request.max_body_bytes = 1999;
        const HttpResponse response = session().get(request);
        QVERIFY(!response.ok());
        QVERIFY(response.body.size() < 2000);
        request.max_body_bytes = 2000;
        QCOMPARE(session().get(request).body.size(), 2000);
    }

    void head_does_not_follow_redirects_and_get_does()
    {
        TestServer server;
        TestReply redirect;
        redirect.redirect_to = server.url("/target");
        server.route("/from", redirect);
        server.route("/target", TestReply::text("arrived"));

        HttpRequest head = request_to(server.url("/from"));
        head.follow_redirects = false;
        const HttpResponse headResponse = session().head(head);
        QVERIFY(headResponse.ok());
        QCOMPARE(headResponse.status, 302);
        QCOMPARE(server.request_count("/target"), 0);

        const HttpResponse getResponse = session().get(request_to(server.url("/from")));
        QCOMPARE(getResponse.status, 200);
        QCOMPARE(getResponse.body, QByteArray("arrived"));
    }

    void redirects_lead_only_to_http_and_https()
    {
        QTcpServer ftp;  // sees the connection of a followed ftp:// redirect
        QVERIFY(ftp.listen(QHostAddress::LocalHost));
        TestServer server;
        TestReply redirect;
        redirect.redirect_to = QStringLiteral("ftp://127.0.0.1:%1/skin.pak").arg(ftp.serverPort());
        server.route("/from", redirect);
        HttpRequest get = request_to(server.url("/from"));
        get.timeout_ms = 2000;
        QVERIFY(!session().get(get).ok());
        QVERIFY(!ftp.waitForNewConnection(0));
        get.url = redirect.redirect_to;  // nor is ftp asked for directly
        QVERIFY(!session().get(get).ok());
        QVERIFY(!ftp.waitForNewConnection(0));
    }

    void error_status_is_an_answer_not_an_error()
    {
        TestServer server;
        const HttpResponse response = session().get(request_to(server.url("/missing")));
        QVERIFY(response.ok());
        QCOMPARE(response.status, 404);
    }

    void headers_are_found_whatever_their_case()
    {
        TestServer server;
        server.route("/j", TestReply::json("[]"));
        const HttpResponse response = session().get(request_to(server.url("/j")));
        QCOMPARE(response.header("content-type"), QByteArray("application/json"));
        QCOMPARE(response.header("CONTENT-TYPE"), QByteArray("application/json"));
        QVERIFY(response.header("X-Absent").isNull());
    }

    void stalled_answer_ends_at_its_time_out()
    {
        TestServer server;
        TestReply silent = TestReply::text("late");
        silent.delay_ms = 5000;
        server.route("/silent", silent);
        HttpRequest request = request_to(server.url("/silent"));
        request.timeout_ms = 500;
        QElapsedTimer clock;
        clock.start();
        const HttpResponse response = session().get(request);
        QVERIFY(!response.ok());
        QVERIFY(response.timed_out);
        QVERIFY(clock.elapsed() >= 450);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(server.request_count("/silent"), 1);  // a made connection is not retried
    }

    void long_transfer_that_keeps_flowing_does_not_time_out()
    {
        TestServer server;
        // Eleven pieces 150 ms apart: 1.5 s in all, three times the time-out.
        TestReply slow = TestReply::text(QByteArray(11 * 16 * 1024, 'y'));
        slow.stall_after = 16 * 1024;
        slow.stall_ms = 150;
        slow.stall_repeats = true;
        server.route("/slow", slow);
        HttpRequest request = request_to(server.url("/slow"));
        request.timeout_ms = 500;
        int pieces = 0;
        qint64 received = 0;
        const HttpResponse response = session().get_streamed(
            request, [](const HttpResponse &) { return true; },
            [&](const char *, size_t size) {
                ++pieces;
                received += qint64(size);
                return size <= HttpSession::kMaxPiece;
            });
        QVERIFY2(response.ok(), qPrintable(response.error));
        QCOMPARE(received, qint64(11 * 16 * 1024));
        QVERIFY(pieces >= 8);
    }

    void truncated_body_fails()
    {
        TestServer server;
        TestReply cut = TestReply::text(QByteArray(100000, 'z'));
        cut.truncate_after = 40000;
        server.route("/cut", cut);
        HttpRequest request = request_to(server.url("/cut"));
        QVERIFY(!session().get(request).ok());
        QVERIFY(!session()
                     .get_streamed(
                         request, [](const HttpResponse &) { return true; }, [](const char *, size_t) { return true; })
                     .ok());
    }

    void abort_from_another_thread_ends_a_stalled_body_promptly()
    {
        TestServer server;
        TestReply stall = TestReply::text(QByteArray(100000, 's'));
        stall.stall_after = 10000;
        server.route("/stall", stall);
        std::atomic_bool abort{false};
        std::atomic_bool first_piece{false};
        HttpResponse response;
        qint64 finished_at = 0;
        QElapsedTimer clock;
        clock.start();
        std::thread worker([&] {
            HttpRequest request = request_to(server.url("/stall"));
            request.timeout_ms = 60000;
            request.abort = &abort;
            response = session().get_streamed(
                request, [](const HttpResponse &) { return true; },
                [&](const char *, size_t) {
                    first_piece = true;
                    return true;
                });
            finished_at = clock.elapsed();
        });
        QTRY_VERIFY(first_piece.load());
        QTest::qWait(200);
        const qint64 raised_at = clock.elapsed();
        abort = true;
        worker.join();
        QVERIFY(response.aborted);
        QVERIFY(!response.ok());
        QVERIFY2(finished_at - raised_at < 100, qPrintable(QString::number(finished_at - raised_at)));
    }

    void non_ascii_query_goes_out_percent_encoded()
    {
        TestServer server;
        server.route("/2/皮肤.php", TestReply::text("ok"));
        HttpRequest request = request_to(server.url(QStringLiteral("/2/皮肤.php?MainCategory=角色 A&x=a=b&c")));
        QCOMPARE(session().get(request).status, 200);
        const TestRequest seen = server.last_request();
        QCOMPARE(seen.target, QByteArray("/2/%E7%9A%AE%E8%82%A4.php?MainCategory=%E8%A7%92%E8%89%B2%20A&x=a=b&c"));
        QCOMPARE(seen.query.value("MainCategory"), QStringLiteral("角色 A"));
    }

    void untrusted_certificate_fails()
    {
        TestServer server;
        // A host name that the certificate does not name.
        QVERIFY(!session().get(request_to(QStringLiteral("https://127.0.0.2:%1/").arg(server.port()))).ok());
    }
};

ZORBEL_TEST_MAIN(TestHttpSession)
#include "tst_http_session.moc"
