// zorbel-demo-server: serves a skin catalogue folder over HTTPS on the loopback interface.

#include "certificate.h"
#include "routes.h"
#include "sample_data.h"
#include "release_signature.h"
#include "update/update_signing.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cstdio>
#include <memory>

namespace {

void say(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

int fail(const QString &text)
{
    say(QStringLiteral("zorbel-demo-server: ") + text);
    return 1;
}

// The server is a stand-in for trying the program on one machine; it never listens
// where other machines could reach it.
bool is_loopback(const QString &host)
{
    static const QRegularExpression ipv4_loopback(QStringLiteral(R"(^127(\.(25[0-5]|2[0-4]\d|1?\d?\d)){3}$)"));
    return host == QLatin1String("localhost") || host == QLatin1String("::1") || ipv4_loopback.match(host).hasMatch();
}

QString origin(const QString &host, int port)
{
    const QString shown = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("https://%1:%2").arg(shown).arg(port);
}

}  // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves a skin catalogue folder over HTTPS on the loopback interface."));
    const QCommandLineOption help_option = parser.addHelpOption();
    const QCommandLineOption port_option(QStringLiteral("port"),
                                         QStringLiteral("Port to listen on (0: any free port)."), QStringLiteral("N"),
                                         QStringLiteral("8443"));
    const QCommandLineOption host_option(QStringLiteral("host"), QStringLiteral("Loopback address to bind."),
                                         QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption data_option(QStringLiteral("data"),
                                         QStringLiteral("Data folder (made, with a sample catalogue, when empty)."),
                                         QStringLiteral("DIR"), QStringLiteral("demo-data"));
    const QCommandLineOption version_option(QStringLiteral("version-record"),
                                            QStringLiteral("Version announced by /api1/."), QStringLiteral("VERSION"),
                                            QStringLiteral("1.1"));
    const QCommandLineOption game_option(QStringLiteral("make-game"),
                                         QStringLiteral("Create a fake game installation in DIR and exit."),
                                         QStringLiteral("DIR"));
    const QCommandLineOption rate_option(QStringLiteral("rate"),
                                         QStringLiteral("Send skin files at most this fast, in KiB/s (0: no limit)."),
                                         QStringLiteral("KIB"), QStringLiteral("0"));
    const QCommandLineOption drop_option(QStringLiteral("drop-at"),
                                         QStringLiteral("End the first skin-file transfer that reaches byte N of its "
                                                        "file there, once, to try resuming (0: never)."),
                                         QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption make_keys_option(
        QStringLiteral("make-keys"),
        QStringLiteral("Make an update signing key pair: the private key goes to the new file KEYFILE, the public "
                       "key (for ZORBEL_UPDATE_PUBLIC_KEY) is printed; then exit."),
        QStringLiteral("KEYFILE"));
    const QCommandLineOption sign_option(
        QStringLiteral("sign"),
        QStringLiteral("Sign FILE as version --version-record under the download name --update-file (default: "
                       "FILE's own name) with the private key of --key, writing FILE.sig.json; then exit. "
                       "/api1/ serves the signature of the offered file (--update-file) with the record."),
        QStringLiteral("FILE"));
    const QCommandLineOption key_option(QStringLiteral("key"), QStringLiteral("Private key file for --sign."),
                                        QStringLiteral("KEYFILE"));
    const QCommandLineOption update_file_option(
        QStringLiteral("update-file"), QStringLiteral("File below /files/ that /api1/ names as the new program."),
        QStringLiteral("NAME"), QStringLiteral("zorbel-skins-update.exe"));
    parser.addOptions({port_option, host_option, data_option, version_option, game_option, rate_option, drop_option,
                       make_keys_option, sign_option, key_option, update_file_option});
    const bool parsed = parser.parse(arguments);
    const QString data_dir = QDir(parser.value(data_option)).absolutePath();

    // Only drawing the sample covers needs a GUI application (fonts); it runs offscreen,
    // and plain starts stay free of the platform plugin and its warnings.
    const bool drawing = parsed && !parser.isSet(help_option) && !parser.isSet(game_option)
                         && !parser.isSet(make_keys_option) && !parser.isSet(sign_option)
                         && !QFile::exists(catalog_path(data_dir));
    std::unique_ptr<QCoreApplication> app;
    if (drawing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("zorbel-demo-server"));
    if (!parsed)
        return fail(parser.errorText());
    if (parser.isSet(help_option))
        parser.showHelp(0);

    if (parser.isSet(game_option)) {
        const QString root = QDir(parser.value(game_option)).absolutePath();
        const QString error = make_fake_game(root);
        if (!error.isEmpty())
            return fail(error);
        say(QStringLiteral("fake game installation made in %1").arg(root));
        return 0;
    }

    if (parser.isSet(make_keys_option)) {
        const Outcome<QString> public_key = make_update_keys(parser.value(make_keys_option));
        if (!public_key.ok())
            return fail(public_key.error);
        say(QStringLiteral("private key written to %1; keep it off the server").arg(parser.value(make_keys_option)));
        std::printf("%s\n", public_key->toLatin1().constData());
        return 0;
    }
    if (parser.isSet(sign_option)) {
        if (!parser.isSet(key_option) || !parser.isSet(version_option))
            return fail(QStringLiteral("--sign needs --key KEYFILE and --version-record VERSION"));
        // The signature binds the version and the name the record will offer the file under.
        const QString file = parser.value(sign_option);
        const QString file_name =
            parser.isSet(update_file_option) ? parser.value(update_file_option) : QFileInfo(file).fileName();
        const Outcome<QJsonObject> record_keys =
            sign_update(file, parser.value(version_option), file_name, parser.value(key_option));
        if (!record_keys.ok())
            return fail(record_keys.error);
        const QString error = write_signature(file, *record_keys);
        if (!error.isEmpty())
            return fail(error);
        say(QStringLiteral("signature of version %1, file %2 written to %3")
                .arg(parser.value(version_option), file_name, signature_path(file)));
        std::printf("%s\n", QJsonDocument(*record_keys).toJson(QJsonDocument::Compact).constData());
        return 0;
    }

    bool port_ok = false;
    const int wanted_port = parser.value(port_option).toInt(&port_ok);
    if (!port_ok || wanted_port < 0 || wanted_port > 65535)
        return fail(QStringLiteral("--port needs a number from 0 to 65535"));
    const QString host = parser.value(host_option);
    if (!is_loopback(host))
        return fail(QStringLiteral("--host must be a loopback address (127.x.x.x, ::1 or localhost)"));
    if (!QDir().mkpath(data_dir))
        return fail(QStringLiteral("cannot create %1").arg(data_dir));

    QElapsedTimer clock;
    clock.start();
    bool generated = false;
    QString error = ensure_sample_catalog(data_dir, &generated);
    if (!error.isEmpty())
        return fail(error);
    if (generated)
        say(QStringLiteral("sample catalogue written to %1 in %2 ms").arg(data_dir).arg(clock.elapsed()));
    error = ensure_certificate(data_dir);
    if (!error.isEmpty())
        return fail(error);

    httplib::SSLServer server(certificate_path(data_dir).toLocal8Bit().constData(),
                              private_key_path(data_dir).toLocal8Bit().constData());
    if (!server.is_valid())
        return fail(QStringLiteral("cannot load %1 / %2").arg(certificate_path(data_dir), private_key_path(data_dir)));

    const std::string bind_host = host.toStdString();
    const int port = wanted_port == 0 ? server.bind_to_any_port(bind_host)
                                      : (server.bind_to_port(bind_host, wanted_port) ? wanted_port : -1);
    if (port <= 0)
        return fail(QStringLiteral("cannot listen on %1 port %2").arg(host).arg(wanted_port));

    bool drop_ok = false;
    const long long drop_at = parser.value(drop_option).toLongLong(&drop_ok);
    if (!drop_ok || drop_at < 0)
        return fail(QStringLiteral("--drop-at needs a byte number, 0 or more"));
    install_routes(server, RouteSettings{data_dir.toStdString(), origin(host, port).toStdString(),
                                         parser.value(version_option).toStdString(), parser.value(rate_option).toInt(),
                                         drop_at, parser.value(update_file_option).toStdString()});
    say(QStringLiteral("serving %1%2 from %3").arg(origin(host, port), QString::fromStdString(BASE_PATH), data_dir));
    return server.listen_after_bind() ? 0 : 1;
}
