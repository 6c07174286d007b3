// The version check a second after start: current, newer, and every way it ends the program.

#include "app/mainwindow.h"
#include "app/modal.h"
#include "support/test_env.h"
#include "support/window_fixture.h"

#include <QApplication>
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

// Answers the HTTPS probe (HEAD) with 200 and the record request (GET) with `status`.
TestServer::Handler failing_get(int status)
{
    return [status](const TestRequest &request) {
        return TestReply::text("unavailable", request.method == QLatin1String("HEAD") ? 200 : status);
    };
}

// Builds the window against `server` and waits until its scheduled check has ended
// the program (as far as the recorder lets it) or logged that it is current.
void run_check(SkinServer &server, ModalRecorder &boxes, LogCapture &log, std::unique_ptr<MainWindow> &window)
{
    window = make_window(server);
    QTRY_VERIFY_WITH_TIMEOUT(!boxes.exit_codes.isEmpty() || log.contains(QStringLiteral("当前已是最新版本")), 20000);
}

void expect_fatal(const ModalRecorder &boxes, const QString &message_start)
{
    QVERIFY(!boxes.exit_codes.isEmpty());
    QCOMPARE(boxes.exit_codes.first(), 1);
    QVERIFY(!boxes.boxes.isEmpty());
    const RecordedBox &first = boxes.boxes.first();
    QCOMPARE(first.type, QStringLiteral("QMessageBox"));
    QCOMPARE(first.title, QStringLiteral("程序错误"));
    QVERIFY2(first.text.startsWith(message_start), qPrintable(first.text));
}

}  // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT

private slots:
    void current_version_only_logs()
    {
        SkinServer server;
        ModalRecorder boxes;
        LogCapture log;
        std::unique_ptr<MainWindow> window;
        run_check(server, boxes, log, window);
        QVERIFY(log.contains(QStringLiteral("[INFO] 当前已是最新版本")));
        QVERIFY(boxes.exit_codes.isEmpty());
        QVERIFY(!boxes.saw(QStringLiteral("程序错误")));
        QVERIFY(!window->update_thread);
        QVERIFY(!window->update_worker);
        QCOMPARE(server.request_count(QStringLiteral("/api1/")), 2);  // the HTTPS probe and the GET
    }

    void empty_version_counts_as_current()
    {
        SkinServer server;
        server.route(QStringLiteral("/api1/"),
                     TestReply::json(version_record(QString(), QStringLiteral("https://127.0.0.1:1/new.exe"))));
        ModalRecorder boxes;
        LogCapture log;
        std::unique_ptr<MainWindow> window;
        run_check(server, boxes, log, window);
        QVERIFY(log.contains(QStringLiteral("当前已是最新版本")));
        QVERIFY(boxes.exit_codes.isEmpty());
        QVERIFY(!window->update_thread);
    }

    void error_status_ends_the_program()
    {
        SkinServer server;
        server.route(QStringLiteral("/api1/"), failing_get(404));
        ModalRecorder boxes;
        LogCapture log;
        std::unique_ptr<MainWindow> window;
        run_check(server, boxes, log, window);
        expect_fatal(boxes, QStringLiteral("获取版本信息失败，状态码: 404"));
        QCOMPARE(boxes.boxes.first().text, QStringLiteral("获取版本信息失败，状态码: 404"));
        QVERIFY(!log.contains(QStringLiteral("当前已是最新版本")));
    }

    void missing_key_is_a_server_error()
    {
        SkinServer server;
        server.route(QStringLiteral("/api1/"),
                     TestReply::json(version_record(QStringLiteral("1.2"), QJsonValue::Undefined)));
        ModalRecorder boxes;
        LogCapture log;
        std::unique_ptr<MainWindow> window;
        run_check(server, boxes, log, window);
        expect_fatal(boxes, QStringLiteral("服务器响应错误"));
        QCOMPARE(boxes.boxes.first().text, QStringLiteral("服务器响应错误"));
        QVERIFY(!window->update_thread);
    }

    void silent_server_times_out_after_five_seconds()
    {
        SkinServer server;
        server.route(QStringLiteral("/api1/"), [](const TestRequest &request) {
            TestReply reply = TestReply::json(version_record(QStringLiteral("1.1"), QStringLiteral("x")));
            if (request.method == QLatin1String("GET"))
                reply.delay_ms = 9000;
            return reply;
        });
        ModalRecorder boxes;
        LogCapture log;
        std::unique_ptr<MainWindow> window;
        run_check(server, boxes, log, window);
        expect_fatal(boxes, QStringLiteral("获取版本信息异常: "));
        QVERIFY(boxes.boxes.first().text.size() > QStringLiteral("获取版本信息异常: ").size());
    }

    void unreachable_server_ends_the_program()
    {
        SkinServer server;
        server.route(QStringLiteral("/api1/"), TestReply::text("{not json"));
        ModalRecorder boxes;
        LogCapture log;
        std::unique_ptr<MainWindow> window;
        run_check(server, boxes, log, window);
        expect_fatal(boxes, QStringLiteral("获取版本信息异常: "));
    }

    void version_as_number_is_a_check_error()
    {
        SkinServer server;
        server.route(QStringLiteral("/api1/"),
                     TestReply::json(version_record(1.2, QStringLiteral("https://127.0.0.1:1/new.exe"))));
        ModalRecorder boxes;
        LogCapture log;
        std::unique_ptr<MainWindow> window;
        run_check(server, boxes, log, window);
        expect_fatal(boxes, QStringLiteral("检查更新异常: "));
        QVERIFY(!window->update_thread);
    }

    void fatal_box_is_shown_before_the_exit()
    {
        SkinServer server;
        server.route(QStringLiteral("/api1/"), failing_get(503));
        ModalRecorder boxes;
        int exits_when_box_shown = -1;
        QString first_text;
        std::unique_ptr<MainWindow> window = make_window(server);
        set_modal_runner([&](QDialog &dialog) {
            if (exits_when_box_shown < 0) {
                exits_when_box_shown = boxes.exit_codes.size();
                first_text = static_cast<QMessageBox &>(dialog).text();
            }
            return int(QMessageBox::Ok);
        });
        window->_silent_check_update();
        QCOMPARE(exits_when_box_shown, 0);
        QCOMPARE(first_text, QStringLiteral("获取版本信息失败，状态码: 503"));
        QVERIFY(!boxes.exit_codes.isEmpty());
        QCOMPARE(boxes.exit_codes.first(), 1);
    }
};

ZORBEL_TEST_MAIN(TestUpdateCheck)
#include "tst_update_check.moc"
