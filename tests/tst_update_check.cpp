// The version check a second after start: current, and every way it ends the program.

#include "app/mainwindow.h"
#include "app/modal.h"
#include "support/test_env.h"
#include "support/window_fixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>

namespace {

// A version record with the given values; an undefined value leaves its key out.
QByteArray version_record(const QJsonValue &version, const QJsonValue &download_url)
{
    QJsonObject record;
    if (!version.isUndefined())
        record.insert(QStringLiteral("RIzured版本"), version);
    if (!download_url.isUndefined())
        record.insert(QStringLiteral("RIzured下载地址"), download_url);
    return QJsonDocument(record).toJson(QJsonDocument::Compact);
}

// Builds the window and waits until its scheduled check has ended the program (as far as
// the recorder lets it) or logged that it is current.
void run_check(WindowHarness &harness)
{
    harness.open_window();
    QTRY_VERIFY_WITH_TIMEOUT(
        !harness.boxes->exit_codes.isEmpty() || harness.log->contains(QStringLiteral("当前已是最新版本")), 20000);
}

}  // namespace

class TestUpdateCheck : public QObject, WindowHarness {
    Q_OBJECT

private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    // The record's answer to the GET (the HTTPS probe, a HEAD, always gets 200) and what
    // the check makes of it.
    void server_answer_decides_the_outcome_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("delay_ms");
        QTest::addColumn<QString>("box");       // the fatal box's text, or its start; empty: no box
        QTest::addColumn<bool>("box_detail");   // the box text goes on after `box`
        QTest::addColumn<QString>("log_line");  // a line the check logs; empty: none expected
        const QString url = QStringLiteral("https://127.0.0.1:1/new.exe");
        const QString current = QStringLiteral("[INFO] 当前已是最新版本");

        QTest::newRow("current version only logs")
            << version_record(QStringLiteral("1.1"), url) << 200 << 0 << QString() << false << current;
        QTest::newRow("empty version counts as current")
            << version_record(QString(), url) << 200 << 0 << QString() << false << current;
        QTest::newRow("error status ends the program")
            << QByteArray("unavailable") << 404 << 0 << QStringLiteral("获取版本信息失败，状态码: 404") << false
            << QString();
        QTest::newRow("missing key is a server error")
            << version_record(QStringLiteral("1.2"), QJsonValue::Undefined) << 200 << 0
            << QStringLiteral("服务器响应错误") << false << QString();
        QTest::newRow("silent server times out after five seconds")
            << version_record(QStringLiteral("1.1"), QStringLiteral("x")) << 200 << 9000
            << QStringLiteral("获取版本信息异常: ") << true << QString();
        QTest::newRow("unreadable answer ends the program")
            << QByteArray("{not json") << 200 << 0 << QStringLiteral("获取版本信息异常: ") << true << QString();
        QTest::newRow("version as number is a check error")
            << version_record(1.2, url) << 200 << 0 << QStringLiteral("检查更新异常: ") << true << QString();
    }

    void server_answer_decides_the_outcome()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(int, delay_ms);
        QFETCH(QString, box);
        QFETCH(bool, box_detail);
        QFETCH(QString, log_line);
        server->route(QStringLiteral("/api1/"), [=](const TestRequest &request) {
            if (request.method == QLatin1String("HEAD"))
                return TestReply::json(body);
            TestReply reply = TestReply::json(body);
            reply.status = status;
            reply.delay_ms = delay_ms;
            return reply;
        });
        run_check(*this);

        QVERIFY(!window->update_thread);
        QVERIFY(!window->update_worker);
        QCOMPARE(server->request_count(QStringLiteral("/api1/")), 2);  // the HTTPS probe and the GET
        if (box.isEmpty()) {
            QVERIFY(log->lines().contains(log_line));
            QVERIFY(boxes->exit_codes.isEmpty());
            QVERIFY(!boxes->saw(QStringLiteral("程序错误")));
            return;
        }
        QCOMPARE(boxes->exit_codes.value(0), 1);
        QVERIFY(!boxes->boxes.isEmpty());
        const RecordedBox &first = boxes->boxes.first();
        QCOMPARE(first.type, QStringLiteral("QMessageBox"));
        QCOMPARE(first.title, QStringLiteral("程序错误"));
        QVERIFY2(first.text.startsWith(box), qPrintable(first.text));
        QCOMPARE(first.text.size() > box.size(), box_detail);
        QVERIFY(!log->contains(QStringLiteral("当前已是最新版本")));
    }

    void fatal_box_is_shown_before_the_exit()
    {
        server->route(QStringLiteral("/api1/"), [](const TestRequest &request) {
            return TestReply::text("unavailable", request.method == QLatin1String("HEAD") ? 200 : 503);
        });
        int exits_when_box_shown = -1;
        QString first_text;
        open_window();
        set_modal_runner([&](QDialog &dialog) {
            if (exits_when_box_shown < 0) {
                exits_when_box_shown = boxes->exit_codes.size();
                first_text = static_cast<QMessageBox &>(dialog).text();
            }
            return int(QMessageBox::Ok);
        });
        window->_silent_check_update();
        QCOMPARE(exits_when_box_shown, 0);
        QCOMPARE(first_text, QStringLiteral("获取版本信息失败，状态码: 503"));
        QVERIFY(!boxes->exit_codes.isEmpty());
        QCOMPARE(boxes->exit_codes.first(), 1);
    }
};

ZORBEL_TEST_MAIN(TestUpdateCheck)
#include "tst_update_check.moc"
