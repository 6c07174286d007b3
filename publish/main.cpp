// zorbel-publish: turns a folder of skins into the static site that nginx serves.

#include "publish/site.h"
#include "publish/source_folder.h"
#include "update/update_signing.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &line)
{
    std::fprintf(stream, "%s\n", line.toUtf8().constData());
}

QString listed(const QStringList &names)
{
    return names.isEmpty() ? QStringLiteral("0") : QStringLiteral("%1 (%2)").arg(names.size()).arg(names.join(", "));
}

bool inside(const QString &path, const QString &folder)
{
    const QString a = QDir::cleanPath(QFileInfo(path).absoluteFilePath()) + QLatin1Char('/');
    const QString b = QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) + QLatin1Char('/');
    return a.startsWith(b);
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Publishes a folder of skins (NAME.pak, NAME.sig, optional NAME.png/.jpg, skins.json, instructions.html)\n"
        "as the static site that packaging/nginx/zorbel-site.conf serves."));
    parser.addHelpOption();
    const QCommandLineOption source({QStringLiteral("source")}, QStringLiteral("The folder of skins."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption site({QStringLiteral("site")},
                                  QStringLiteral("The site folder: empty, new, or written by an earlier run."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption url({QStringLiteral("url")},
                                 QStringLiteral("Where players reach the server, e.g. https://skins.example.org."),
                                 QStringLiteral("ORIGIN"));
    const QCommandLineOption program(
        {QStringLiteral("program")},
        QStringLiteral("A new program file to offer as update (e.g. zorbel-skins-1.2.exe)."), QStringLiteral("FILE"));
    const QCommandLineOption version({QStringLiteral("version")}, QStringLiteral("Its version, e.g. 1.2."),
                                     QStringLiteral("VERSION"));
    const QCommandLineOption key({QStringLiteral("key")},
                                 QStringLiteral("The update signing key (zorbel-demo-server --make-keys)."),
                                 QStringLiteral("KEYFILE"));
    const QCommandLineOption make_keys({QStringLiteral("make-keys")},
                                       QStringLiteral("Make an update signing key pair: the private key goes to the "
                                                      "new file KEYFILE, the public key is printed; then exit."),
                                       QStringLiteral("KEYFILE"));
    parser.addOptions({source, site, url, program, version, key, make_keys});
    parser.process(app);
    if (parser.isSet(make_keys)) {
        QString public_key;
        const QString error = make_update_keys(parser.value(make_keys), &public_key);
        print(error.isEmpty() ? stdout : stderr,
              error.isEmpty() ? public_key : QStringLiteral("zorbel-publish: ") + error);
        return error.isEmpty() ? 0 : 1;
    }
    if (!parser.isSet(source) || !parser.isSet(site) || !parser.isSet(url)
        || parser.isSet(program) != parser.isSet(version) || (parser.isSet(key) && !parser.isSet(program))) {
        print(stderr, QStringLiteral("zorbel-publish: --source, --site and --url are needed; --program needs "
                                     "--version, and --key needs --program (see --help)"));
        return 2;
    }
    if (inside(parser.value(site), parser.value(source)) || inside(parser.value(source), parser.value(site))) {
        print(stderr, QStringLiteral("zorbel-publish: the site folder and the source folder must not contain "
                                     "one another"));
        return 2;
    }

    const SourceFolder folder = read_source_folder(parser.value(source));
    for (const QString &warning : folder.warnings)
        print(stderr, QStringLiteral("warning: ") + warning);
    if (!folder.refusals.isEmpty()) {
        for (const QString &refusal : folder.refusals)
            print(stderr, QStringLiteral("refused: ") + refusal);
        print(stderr, QStringLiteral("nothing was published: fix the %1 refusal(s) above").arg(folder.refusals.size()));
        return 1;
    }

    SiteOptions options;
    options.site_folder = parser.value(site);
    options.origin = parser.value(url);
    while (options.origin.endsWith(QLatin1Char('/')))
        options.origin.chop(1);
    options.program_file = parser.value(program);
    options.version = parser.value(version);
    options.key_path = parser.value(key);
    const PublishReport report = publish_site(folder, options);
    if (!report.error.isEmpty()) {
        print(stderr, QStringLiteral("zorbel-publish: ") + report.error);
        return 1;
    }
    print(stdout, QStringLiteral("published %1 skins in %2 main categories (%3 subcategories), %4 bytes, to %5")
                      .arg(report.skins)
                      .arg(report.main_categories)
                      .arg(report.subcategories)
                      .arg(report.bytes)
                      .arg(QDir(options.site_folder).absolutePath()));
    print(stdout, QStringLiteral("since the last run: added %1; changed %2; removed %3")
                      .arg(listed(report.added), listed(report.changed), listed(report.removed)));
    for (const QString &note : report.notes)
        print(stdout, note);
    return 0;
}
