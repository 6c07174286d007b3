// The program binary itself: the version check at start keeps it running when it is
// current, and ends it with status 1 once the fatal box has been answered.

#include "support/test_env.h"
#include "support/window_fixture.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

// Answers the program's box from inside the X server that xvfb-run starts: waits for a
// window titled "程序错误", presses Return in it until the program has ended, and exits
// with the program's status (98: no box appeared).
const char *const kAnswerBoxScript = R"SH(
"$1" & program=$!
box=""
for _ in $(seq 1 600); do
    box=$(xdotool search --name '程序错误' 2>/dev/null | head -n 1)
    [ -n "$box" ] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$box" ]; then
    echo "no box"
    kill "$program" 2>/dev/null
    wait "$program"
    exit 98
fi
echo "box shown"
presses=0
for _ in $(seq 1 40); do
    kill -0 "$program" 2>/dev/null || break
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key --clearmodifiers Return 2>/dev/null
    presses=$((presses + 1))
    sleep 0.5
done
echo "key presses: $presses"
wait "$program"
)SH";

QProcessEnvironment program_environment(const QTemporaryDir &home, const TestServer &server)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral(".cache")));
    env.insert(QStringLiteral("ZORBEL_SERVER"), server.host());
    env.insert(QStringLiteral("ZORBEL_CA_FILE"), test_certificate().cert_path);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

}  // namespace

class TestUpdateProgram : public QObject {
    Q_OBJECT

private slots:
    void current_program_keeps_running_past_the_check()
    {
        SkinServer server;
        QTemporaryDir home;
        QProcess program;
        program.setProcessEnvironment(program_environment(home, server));
        program.setWorkingDirectory(home.path());
        QString log;
        connect(&program, &QProcess::readyReadStandardError, this,
                [&] { log += QString::fromUtf8(program.readAllStandardError()); });
        program.start(QStringLiteral(ZORBEL_PROGRAM), QStringList());
        QVERIFY(program.waitForStarted());

        QTRY_VERIFY2_WITH_TIMEOUT(log.contains(QStringLiteral("[INFO] main: 当前已是最新版本")), qPrintable(log),
                                  60000);
        QCOMPARE(server.request_count(QStringLiteral("/api1/")), 2);
        // Every line the program writes has the one log format.
        const QRegularExpression format(
            QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2},\\d{3} \\[(INFO|WARNING|ERROR)\\] \\w+: "));
        const QRegularExpression current(
            QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2},\\d{3} \\[INFO\\] main: 当前已是最新版本$"));
        bool current_seen = false;
        for (const QString &line : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QVERIFY2(format.match(line).hasMatch(), qPrintable(line));
            current_seen = current_seen || current.match(line).hasMatch();
        }
        QVERIFY(current_seen);
        // Still there a while after the check: nothing ends it.
        QVERIFY(!program.waitForFinished(2000));
        QCOMPARE(program.state(), QProcess::Running);
        program.kill();
        QVERIFY(program.waitForFinished(10000));
    }

    void failed_check_ends_the_program_with_status_1_after_its_box()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        if (xvfb.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("xvfb-run and xdotool are needed to answer the program's box");

        SkinServer server;
        server.route(QStringLiteral("/api1/"), [](const TestRequest &request) {
            return TestReply::text("gone", request.method == QLatin1String("HEAD") ? 200 : 404);
        });
        QTemporaryDir home;
        QProcessEnvironment env = program_environment(home, server);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QProcess run;
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(home.path());
        run.start(xvfb, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
                         QStringLiteral("sh"), QStringLiteral("-c"), QString::fromUtf8(kAnswerBoxScript),
                         QStringLiteral("sh"), QStringLiteral(ZORBEL_PROGRAM)});
        QVERIFY(run.waitForStarted());
        QVERIFY(run.waitForFinished(180000));
        const QString out = QString::fromUtf8(run.readAllStandardOutput());
        const QString log = QString::fromUtf8(run.readAllStandardError());
        QVERIFY2(out.contains(QStringLiteral("box shown")), qPrintable(out + log));
        qInfo("%s", qPrintable(out.trimmed()));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 1);
        QVERIFY(!log.contains(QStringLiteral("当前已是最新版本")));
        QCOMPARE(server.request_count(QStringLiteral("/api1/")), 2);
    }
};

ZORBEL_TEST_MAIN(TestUpdateProgram)
#include "tst_update_program.moc"
