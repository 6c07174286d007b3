// Discovery of the server's base address, with the HTTPS upgrade and the backup address.

#include "app/endpoints.h"
#include "app/mainwindow.h"
#include "support/fault_servers.h"
#include "support/test_env.h"
#include "support/window_fixture.h"

namespace {

int head_requests(const TestServer &server)
{
    int count = 0;
    for (const TestRequest &request : server.requests())
        count += request.method == QStringLiteral("HEAD") ? 1 : 0;
    return count;
}

}  // namespace

class TestCatalogDiscovery : public QObject, WindowHarness {
    Q_OBJECT

    // Rediscovers with the discovery route answering `reply`, into an empty log.
    void discover(const TestReply &reply)
    {
        server->route(QStringLiteral("/2/皮肤.php"), reply);
        server->reset_requests();
        log->clear();
        window->_setup_api_urls();
    }

    QString http_form(const QString &path) const { return QStringLiteral("http://") + server->host() + path; }

private slots:
    void init()
    {
        start();
        open_window();
    }

    void cleanup() { stop(); }

    void http_answer_is_upgraded_when_https_answers_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("200") << 200;
        QTest::newRow("301") << 301;
        QTest::newRow("302") << 302;
    }

    void http_answer_is_upgraded_when_https_answers()
    {
        QFETCH(int, status);
        TestReply probe = TestReply::text("ok", status);
        if (status != 200)
            probe.redirect_to = server->url("/elsewhere");
        server->route("/upgraded", probe);
        discover(TestReply::text(http_form("/upgraded").toUtf8()));

        const QString https = server->url("/upgraded");
        QCOMPARE(BASE_URL, https);
        QCOMPARE(BASE_API, https + "/index_skins.php");
        QCOMPARE(head_requests(*server), 1);
        QCOMPARE(server->request_count("/elsewhere"), 0);  // the probe does not follow redirects
        const QStringList lines = log->lines();
        const int tried = lines.indexOf("[INFO] 尝试HTTPS连接: " + https);
        QVERIFY2(tried >= 0, qPrintable(lines.join('\n')));
        QCOMPARE(lines.value(tried + 1), QStringLiteral("[INFO] HTTPS响应状态码: %1").arg(status));
        QCOMPARE(lines.value(tried + 2),
                 QStringLiteral("[INFO] HTTPS连接成功（状态码%1），使用: %2").arg(status).arg(https));
        QCOMPARE(lines.value(tried + 3), "[INFO] 成功获取动态API地址: " + https);
    }

    void http_answer_stays_when_https_answers_another_status()
    {
        discover(TestReply::text(http_form("/nowhere").toUtf8()));
        QCOMPARE(BASE_URL, http_form("/nowhere"));
        QVERIFY(log->lines().contains("[INFO] HTTPS响应状态码: 404"));
        QVERIFY(
            log->lines().contains("[WARNING] HTTPS连接返回非成功状态码: 404，回退到HTTP: " + http_form("/nowhere")));
        QVERIFY(log->lines().contains("[INFO] 成功获取动态API地址: " + http_form("/nowhere")));
    }

    void http_answer_stays_when_https_fails()
    {
        TestServer plain(false);
        plain.route("/base", TestReply::text("plain"));
        const QString http = plain.url("/base");
        QVERIFY(http.startsWith("http://"));
        discover(TestReply::text(http.toUtf8()));
        QCOMPARE(BASE_URL, http);
        QCOMPARE(Instructions_API, http + "/Instructions.php");
        const QStringList lines = log->lines();
        bool warned = false;
        for (const QString &line : lines)
            warned |= line.startsWith("[WARNING] HTTPS连接失败: ") && line.endsWith("，回退到HTTP: " + http);
        QVERIFY2(warned, qPrintable(lines.join('\n')));
        QVERIFY(!lines.join('\n').contains("HTTPS响应状态码"));
    }

    void https_probe_is_bounded_as_a_whole()
    {
        TrickleTlsServer trickle(14, 100);  // an answer head that takes 15 s, never silent for long
        QVERIFY(trickle.port() > 0);
        const QString http = QStringLiteral("http://127.0.0.1:%1/base").arg(trickle.port());
        discover(TestReply::text(http.toUtf8()));
        QCOMPARE(BASE_URL, http);  // the probe gave up after its 10 s and fell back
    }

    void https_answer_is_used_unchanged_without_a_probe()
    {
        discover(TestReply::text(("  " + server->base() + " \r\n").toUtf8()));
        QCOMPARE(BASE_URL, server->base());
        QCOMPARE(head_requests(*server), 0);
        QVERIFY(!log->contains("尝试HTTPS连接"));
        QCOMPARE(log->lines().value(0), "[INFO] 成功获取动态API地址: " + server->base());
    }

    void trailing_slash_is_kept()
    {
        discover(TestReply::text((server->base() + "/").toUtf8()));
        QCOMPARE(Instructions_API, server->base() + "//Instructions.php");
        QCOMPARE(SKIN_DOWNLOAD_API, server->base() + "//subcutaneous/index_skin_download.php");
    }

    void invalid_answer_falls_back_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("blanks") << QByteArray(" \n\t ");
        QTest::newRow("garbage") << QByteArray("<html>error</html>");
        QTest::newRow("upper-case scheme") << QByteArray("HTTPS://example.invalid");
    }

    void invalid_answer_falls_back()
    {
        QFETCH(QByteArray, body);
        discover(TestReply::text(body));
        QCOMPARE(BASE_URL, BACKUP_BASE_URL);
        QCOMPARE(BASE_API, BACKUP_BASE_URL + "/index_skins.php");
        QCOMPARE(log->lines().value(0), QStringLiteral("[WARNING] 动态API地址无效，使用备用地址"));
        QCOMPARE(log->lines().value(1), QStringLiteral("[INFO] API地址设置完成:"));
    }

    void failed_discovery_falls_back_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("delay_ms");  // longer than the 10 s limit: a time-out
        QTest::newRow("404") << 404 << 0;
        QTest::newRow("500") << 500 << 0;
        QTest::newRow("time-out") << 200 << 30000;  // the server gives up when stopped
    }

    void failed_discovery_falls_back()
    {
        QFETCH(int, status);
        QFETCH(int, delay_ms);
        TestReply reply = TestReply::text(server->base().toUtf8(), status);
        reply.delay_ms = delay_ms;
        discover(reply);
        QCOMPARE(BASE_URL, BACKUP_BASE_URL);
        const QString line = log->lines().value(0);
        QVERIFY2(line.startsWith("[WARNING] 获取动态API地址失败: "), qPrintable(line));
        QVERIFY(delay_ms > 0 || line.contains(QString::number(status)));
        QVERIFY(line.endsWith("，使用备用地址"));
    }
};

ZORBEL_TEST_MAIN(TestCatalogDiscovery)
#include "tst_catalog_discovery.moc"
