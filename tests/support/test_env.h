#pragma once
// Process set-up shared by every suite: a private HOME and XDG_CONFIG_HOME (settings
// store, cover cache), a self-signed certificate for 127.0.0.1 that the session trusts,
// logging and libcurl initialised as main() does. ZORBEL_TEST_MAIN replaces QTEST_MAIN.

#include <QString>
#include <QStringList>
#include <QtTest>

#include <memory>

struct TestCertificate {
    QString cert_path;
    QString key_path;
};

// Made once per process, in the private test folder.
const TestCertificate &test_certificate();
// Another authority, which the test server's certificate does not come from.
const TestCertificate &unrelated_certificate();

// The private folder that stands in for HOME during this run.
QString test_home();

// The program that waits the seconds of its first argument (tests/support/wait_program.cpp);
// copies of it stand in for the game's process.
QString waiting_program();

// Points ZORBEL_SERVER at `host` and re-reads the fixed server addresses.
void use_server(const QString &host);

void init_test_environment();

// Collects the message part of every log line of the "main" category while it lives
// (lines still go to stderr as well). Captures may overlap: each sees the lines logged
// in its own lifetime, from any thread.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;
    QStringList lines() const;                 // "[LEVEL] message"
    bool contains(const QString &text) const;  // any line containing `text`
    void clear();

private:
    std::unique_ptr<QStringList> captured;
};

// The first of `lines` that starts with `start` (-1: none), and all that do.
int first_line_starting(const QStringList &lines, const QString &start);
QStringList lines_starting(const QStringList &lines, const QString &start);

#define ZORBEL_TEST_MAIN(TestObject)                                                                                   \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        init_test_environment();                                                                                       \
        QApplication app(argc, argv);                                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
