#include "support/test_env.h"

#include "app/config.h"
#include "app/http_session.h"
#include "app/logging.h"

#include <QDir>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QTemporaryDir &home_dir()
{
    static QTemporaryDir dir;
    return dir;
}

QMutex capture_mutex;
QStringList *captured = nullptr;
QtMessageHandler previous_handler = nullptr;

void capture_handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&capture_mutex);
        if (captured && context.category && qstrcmp(context.category, "main") == 0) {
            static const char *names[] = {"DEBUG", "WARNING", "ERROR", "CRITICAL", "INFO"};
            captured->append(QStringLiteral("[%1] %2").arg(QLatin1String(names[type]), message));
        }
    }
    if (previous_handler)
        previous_handler(type, context, message);
}

} // namespace

QString test_home() { return home_dir().path(); }

const TestCertificate &test_certificate()
{
    static const TestCertificate cert = [] {
        TestCertificate made;
        made.cert_path = QDir(test_home()).filePath(QStringLiteral("test-cert.pem"));
        made.key_path = QDir(test_home()).filePath(QStringLiteral("test-key.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                       QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                       QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost"),
                       QStringLiteral("-keyout"), made.key_path, QStringLiteral("-out"), made.cert_path});
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
            qFatal("openssl could not make the test certificate: %s", openssl.readAllStandardError().constData());
        return made;
    }();
    return cert;
}

void use_server(const QString &host)
{
    qputenv("ZORBEL_SERVER", host.toUtf8());
    init_process_values();
}

void init_test_environment()
{
    qputenv("HOME", test_home().toUtf8());
    qputenv("XDG_CONFIG_HOME", QDir(test_home()).filePath(QStringLiteral(".config")).toUtf8());
    qputenv("XDG_CACHE_HOME", QDir(test_home()).filePath(QStringLiteral(".cache")).toUtf8());
    qputenv("ZORBEL_CA_FILE", test_certificate().cert_path.toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    install_log_handler();
    HttpSession::global_init();
    init_process_values();
}

LogCapture::LogCapture()
{
    QMutexLocker lock(&capture_mutex);
    captured = new QStringList;
    previous_handler = qInstallMessageHandler(capture_handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous_handler);
    QMutexLocker lock(&capture_mutex);
    delete captured;
    captured = nullptr;
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&capture_mutex);
    return captured ? *captured : QStringList();
}

bool LogCapture::contains(const QString &text) const
{
    for (const QString &line : lines())
        if (line.contains(text))
            return true;
    return false;
}

void LogCapture::clear()
{
    QMutexLocker lock(&capture_mutex);
    if (captured)
        captured->clear();
}
