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

struct Options {
    QCommandLineOption source{
        {QStringLiteral("source")}, QStringLiteral("The folder of skins."), QStringLiteral("DIR")};
    QCommandLineOption site{{QStringLiteral("site")},
                            QStringLiteral("The site folder: empty, new, or written by an earlier run."),
                            QStringLiteral("DIR")};
    QCommandLineOption url{{QStringLiteral("url")},
                           QStringLiteral("Where players reach the server, e.g. https://skins.example.org."),
                           QStringLiteral("ORIGIN")};
    QCommandLineOption program{{QStringLiteral("program")},
                               QStringLiteral("A new program file to offer as update (e.g. zorbel-skins-1.2.exe)."),
                               QStringLiteral("FILE")};
    QCommandLineOption version{
        {QStringLiteral("version")}, QStringLiteral("Its version, e.g. 1.2."), QStringLiteral("VERSION")};
    QCommandLineOption key{{QStringLiteral("key")},
                           QStringLiteral("The update signing key (zorbel-demo-server --make-keys)."),
                           QStringLiteral("KEYFILE")};
    QCommandLineOption make_keys{{QStringLiteral("make-keys")},
                                 QStringLiteral("Make an update signing key pair: the private key goes to the "
                                                "new file KEYFILE, the public key is printed; then exit."),
                                 QStringLiteral("KEYFILE")};
};

void parse(QCommandLineParser &parser, const Options &options, const QCoreApplication &app)
{
    parser.setApplicationDescription(QStringLiteral(
        "Publishes a folder of skins (NAME.pak, NAME.sig, optional NAME.png/.jpg, skins.json, instructions.html)\n"
        "as the static site that packaging/nginx/zorbel-site.conf serves."));
    parser.addHelpOption();
    parser.addOptions(
        {options.source, options.site, options.url, options.program, options.version, options.key, options.make_keys});
    parser.process(app);
}

int make_keys(const QString &key_path)
{
    const Outcome<QString> public_key = make_update_keys(key_path);
    if (!public_key.ok()) {
        print(stderr, QStringLiteral("zorbel-publish: ") + public_key.error);
        return 1;
    }
    print(stdout, *public_key);
    return 0;
}

// Fails on the command line's own mistakes: options that do not fit together.
Outcome<void> check_usage(const QCommandLineParser &parser, const Options &options)
{
    if (!parser.isSet(options.source) || !parser.isSet(options.site) || !parser.isSet(options.url)
        || parser.isSet(options.program) != parser.isSet(options.version)
        || (parser.isSet(options.key) && !parser.isSet(options.program)))
        return Failure{QStringLiteral("zorbel-publish: --source, --site and --url are needed; --program needs "
                                      "--version, and --key needs --program (see --help)")};
    if (inside(parser.value(options.site), parser.value(options.source))
        || inside(parser.value(options.source), parser.value(options.site)))
        return Failure{QStringLiteral("zorbel-publish: the site folder and the source folder must not contain "
                                      "one another")};
    return {};
}

// Reports what the source folder says; false when it refuses to be published.
bool judge_source(const SourceFolder &folder)
{
    for (const QString &warning : folder.warnings)
        print(stderr, QStringLiteral("warning: ") + warning);
    if (folder.refusals.isEmpty())
        return true;
    for (const QString &refusal : folder.refusals)
        print(stderr, QStringLiteral("refused: ") + refusal);
    print(stderr, QStringLiteral("nothing was published: fix the %1 refusal(s) above").arg(folder.refusals.size()));
    return false;
}

SiteOptions site_options(const QCommandLineParser &parser, const Options &options)
{
    SiteOptions site;
    site.site_folder = parser.value(options.site);
    site.origin = parser.value(options.url);
    while (site.origin.endsWith(QLatin1Char('/')))
        site.origin.chop(1);
    site.program_file = parser.value(options.program);
    site.version = parser.value(options.version);
    site.key_path = parser.value(options.key);
    return site;
}

int publish(const SourceFolder &folder, const SiteOptions &options)
{
    const Outcome<PublishReport> report = publish_site(folder, options);
    if (!report.ok()) {
        print(stderr, QStringLiteral("zorbel-publish: ") + report.error);
        return 1;
    }
    print(stdout, QStringLiteral("published %1 skins in %2 main categories (%3 subcategories), %4 bytes, to %5")
                      .arg(report->skins)
                      .arg(report->main_categories)
                      .arg(report->subcategories)
                      .arg(report->bytes)
                      .arg(QDir(options.site_folder).absolutePath()));
    print(stdout, QStringLiteral("since the last run: added %1; changed %2; removed %3")
                      .arg(listed(report->added), listed(report->changed), listed(report->removed)));
    for (const QString &note : report->notes)
        print(stdout, note);
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Options options;
    QCommandLineParser parser;
    parse(parser, options, app);
    if (parser.isSet(options.make_keys))
        return make_keys(parser.value(options.make_keys));
    const Outcome<void> usage = check_usage(parser, options);
    if (!usage.ok()) {
        print(stderr, usage.error);
        return 2;
    }
    const SourceFolder folder = read_source_folder(parser.value(options.source));
    if (!judge_source(folder))
        return 1;
    return publish(folder, site_options(parser, options));
}
