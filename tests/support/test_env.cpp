#include "support/test_env.h"

#include "app/config.h"
#include "app/http_session.h"
#include "app/process_values.h"
#include "app/logging.h"
#include "gamedir/settings_store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSettings>
#include <QTemporaryDir>

#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <functional>
#include <memory>
#include <utility>

namespace {

QTemporaryDir &home_dir()
{
    static QTemporaryDir dir;
    return dir;
}

// The lines of every live LogCapture; installed while any lives, the handler passes each
// line on to the one it replaced.
QMutex capture_mutex;
QList<QStringList *> captures;
QtMessageHandler previous_handler = nullptr;

void capture_handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&capture_mutex);
        if (context.category && qstrcmp(context.category, "main") == 0) {
            static const char *names[] = {"DEBUG", "WARNING", "ERROR", "CRITICAL", "INFO"};
            const QString line = QStringLiteral("[%1] %2").arg(QLatin1String(names[type]), message);
            for (QStringList *lines : qAsConst(captures))
                lines->append(line);
        }
    }
    if (previous_handler)
        previous_handler(type, context, message);
}

}  // namespace

QString test_home()
{
    return home_dir().path();
}

namespace {

// A self-signed authority that is also the server's certificate, valid for two days.
void write_self_signed(const TestCertificate &files)
{
    EVP_PKEY *key = EVP_RSA_gen(2048);
    X509 *cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), long(QDateTime::currentMSecsSinceEpoch() % 2000000000));
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 2 * 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME *name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("127.0.0.1"), -1, -1,
                               0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    // Windows' Schannel matches names only, not addresses: the tests there use "localhost".
    for (const auto &extension :
         {std::make_pair(NID_basic_constraints, "critical,CA:TRUE"), std::make_pair(NID_subject_key_identifier, "hash"),
          std::make_pair(NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost")}) {
        X509_EXTENSION *made = X509V3_EXT_conf_nid(nullptr, &context, extension.first, extension.second);
        X509_add_ext(cert, made, -1);
        X509_EXTENSION_free(made);
    }
    X509_sign(cert, key, EVP_sha256());

    const auto write = [](const QString &path, const std::function<int(BIO *)> &writer) {
        BIO *out = BIO_new(BIO_s_mem());
        writer(out);
        char *data = nullptr;
        const long size = BIO_get_mem_data(out, &data);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(data, size) != size)
            qFatal("cannot write %s", qPrintable(path));
        BIO_free(out);
    };
    write(files.cert_path, [cert](BIO *out) { return PEM_write_bio_X509(out, cert); });
    write(files.key_path,
          [key](BIO *out) { return PEM_write_bio_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr); });
    X509_free(cert);
    EVP_PKEY_free(key);
}

TestCertificate make_certificate(const QString &name)
{
    TestCertificate made;
    made.cert_path = QDir(test_home()).filePath(name + QStringLiteral("-cert.pem"));
    made.key_path = QDir(test_home()).filePath(name + QStringLiteral("-key.pem"));
    write_self_signed(made);
    return made;
}

}  // namespace

const TestCertificate &test_certificate()
{
    static const TestCertificate cert = make_certificate(QStringLiteral("test"));
    return cert;
}

const TestCertificate &unrelated_certificate()
{
    static const TestCertificate cert = make_certificate(QStringLiteral("unrelated"));
    return cert;
}

QString waiting_program()
{
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + QStringLiteral("/wait_program.exe");
#else
    return QCoreApplication::applicationDirPath() + QStringLiteral("/wait_program");
#endif
}

void use_server(const QString &host)
{
    qputenv("ZORBEL_SERVER", host.toUtf8());
    init_process_values();
}

void init_test_environment()
{
#ifdef Q_OS_WIN
    // The settings store is the registry, which every suite of one Wine prefix shares:
    // the suites run one at a time there, each from an empty store.
    std::unique_ptr<QSettings>(open_settings_store())->clear();
#endif
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
    : captured(std::make_unique<QStringList>())
{
    QMutexLocker lock(&capture_mutex);
    // Qt Test installs its own handler once the cases run: ours goes in front of it.
    if (captures.isEmpty())
        previous_handler = qInstallMessageHandler(capture_handler);
    captures.append(captured.get());
}

LogCapture::~LogCapture()
{
    QMutexLocker lock(&capture_mutex);
    captures.removeOne(captured.get());
    if (captures.isEmpty())
        qInstallMessageHandler(previous_handler);
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&capture_mutex);
    return *captured;
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
    captured->clear();
}

int first_line_starting(const QStringList &lines, const QString &start)
{
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(start))
            return i;
    return -1;
}

QStringList lines_starting(const QStringList &lines, const QString &start)
{
    QStringList found;
    for (const QString &line : lines)
        if (line.startsWith(start))
            found << line;
    return found;
}
