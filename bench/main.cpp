// Measures the install pipeline, the catalogue and the page view against curl and fixed
// bounds on loopback, and prints one table. bench/run prepares the server and calls it.

#include "app/config.h"
#include "app/endpoints.h"
#include "app/http_session.h"
#include "app/process_values.h"
#include "bench_data.h"
#include "bench_page.h"
#include "catalogue_bench.h"
#include "install_bench.h"
#include "log_marks.h"
#include "measure.h"
#include "stall_server.h"
#include "table.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kCatalogueRecords = 20000;
constexpr int kCoverCount = 6;
constexpr int kCardsPerPage = 6;
// curl's time over ours for the 200 MB install: the median, and the worst paired run.
constexpr double kInstallRatio = 1.05;
constexpr double kWorstPairRatio = 0.95;

struct Options {
    QString data_dir;  // what the server hands out
    QString work_dir;  // game folders, curl's copies, the log
    QString cert;
    QString key;
    QString trust;  // what curl trusts: the certificates the program trusts
    int runs = 5;
    bool memory_child = false;
    QStringList only;  // parts to run (catalogue, install, verified, cancel, memory); empty: all

    bool wants(const QString &part) const { return only.isEmpty() || only.contains(part); }
};

void print(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString series(const QVector<double> &values, int decimals)
{
    QStringList texts;
    for (double value : values)
        texts.append(fixed(value, decimals));
    return texts.join(QStringLiteral(" "));
}

QString mod_dir(const QString &game_dir)
{
    return join_path(game_dir, MOD_SUBDIR);
}

QVector<QJsonObject> copies(const QJsonObject &record)
{
    return QVector<QJsonObject>(kCardsPerPage, record);
}

QVector<double> paired_ratios(const QVector<double> &curl, const QVector<double> &ours)
{
    QVector<double> ratios;
    for (int run = 0; run < std::min(curl.size(), ours.size()); ++run)
        ratios.append(curl.at(run) / ours.at(run));
    return ratios;
}

TableRow bound_row(const QString &figure, const QVector<double> &values, const QString &unit, double bound,
                   int decimals, const QString &failure)
{
    TableRow row;
    row.figure = figure;
    row.reference = QStringLiteral("-");
    row.target = QStringLiteral("<= ") + fixed(bound, 0) + QLatin1Char(' ') + unit;
    row.measured = failure.isEmpty() && !values.isEmpty();
    if (row.measured) {
        row.ours = fixed(median(values), decimals) + QLatin1Char(' ') + unit;
        row.pass = median(values) <= bound;
    } else {
        row.ours = QStringLiteral("-");
    }
    return row;
}

// One child process per 1 GB install, so that nothing an earlier run left in the heap
// hides the growth of this one.
int run_memory_child(const Options &options)
{
    const QString game_dir = QDir(options.work_dir).filePath(QStringLiteral("game-memory"));
    BenchPage page(game_dir);
    const SkinFiles skin{QStringLiteral("大文件皮肤"), QStringLiteral("big"), options.data_dir, mod_dir(game_dir)};
    if (!page.failure().isEmpty() || !page.show_page(copies(skin_record(skin.name, skin.stem)))) {
        print(QStringLiteral("failure=the page did not come up\n"));
        return 1;
    }
    settle(200);
    const InstallRun run = measure_install(page, skin, true);
    QFile::remove(QDir(skin.mod_dir).filePath(QStringLiteral("big.pak")));
    if (!run.failure.isEmpty()) {
        print(QStringLiteral("failure=") + run.failure + QLatin1Char('\n'));
        return 1;
    }
    print(QStringLiteral("peak_growth_mb=%1 seconds=%2\n").arg(run.peak_growth_mb).arg(run.seconds));
    return 0;
}

// Installs of one skin's page alternating with the curl command, after one unmeasured
// round of each.
struct InstallSeries {
    QVector<double> ours_s, curl_s, curl_transfer_s, gaps_ms, backlog_ms, reports, paints, first_ms, ours_cpu_s,
        gui_cpu_s, system_cpu_s, curl_cpu_s;
    QString failure;
};

InstallSeries measure_installs(BenchPage &page, const SkinFiles &skin, const QJsonObject &record,
                               const Options &options, bool verify)
{
    InstallSeries series;
    const QString curl_dir = QDir(options.work_dir).filePath(QStringLiteral("curl-out"));
    if (record.isEmpty() || !page.show_page(copies(record)))
        series.failure = QStringLiteral("the page of the install skin did not come up");
    for (int run = -1; run < options.runs && series.failure.isEmpty(); ++run) {
        const bool curl_first = run % 2 == 0;
        CurlRun reference;
        if (curl_first)
            reference = measure_curl(skin, curl_dir, options.trust, verify);
        settle(100);
        const InstallRun ours = measure_install(page, skin, false);
        settle(100);
        if (!curl_first)
            reference = measure_curl(skin, curl_dir, options.trust, verify);
        series.failure = !ours.failure.isEmpty() ? ours.failure : reference.failure;
        if (run < 0 || !series.failure.isEmpty())
            continue;
        series.ours_s.append(ours.seconds);
        series.curl_s.append(reference.seconds);
        series.curl_transfer_s.append(reference.transfer_seconds);
        series.gaps_ms.append(ours.longest_gap_ms);
        series.backlog_ms.append(ours.backlog_ms);
        series.reports.append(ours.progress_signals);
        series.paints.append(ours.card_paints);
        series.first_ms.append(ours.first_progress_ms);
        series.ours_cpu_s.append(ours.cpu_seconds);
        series.gui_cpu_s.append(ours.gui_cpu_seconds);
        series.system_cpu_s.append(ours.system_cpu_seconds);
        series.curl_cpu_s.append(reference.cpu_seconds);
    }
    QDir(curl_dir).removeRecursively();
    return series;
}

// The program's install time against the reference command's: the medians, and the worst
// paired run, which shows a slow run that the medians hide.
TableRow install_row(const QString &figure, const QString &reference, const InstallSeries &series)
{
    TableRow row;
    row.figure = figure;
    row.measured = series.failure.isEmpty() && !series.ours_s.isEmpty();
    if (!row.measured) {
        row.ours = row.reference = QStringLiteral("-");
        return row;
    }
    const double ratio = median(series.curl_s) / median(series.ours_s);
    const QVector<double> pairs = paired_ratios(series.curl_s, series.ours_s);
    const double worst = *std::min_element(pairs.begin(), pairs.end());
    row.ours = fixed(median(series.ours_s), 3) + QStringLiteral(" s (") + fixed(200 / median(series.ours_s), 0)
               + QStringLiteral(" MB/s)");
    row.reference = reference + QLatin1Char(' ') + fixed(median(series.curl_s), 3) + QStringLiteral(" s (")
                    + fixed(200 / median(series.curl_s), 0) + QStringLiteral(" MB/s)");
    row.target = fixed(ratio, 2) + QStringLiteral(" (>= %1), worst pair ").arg(fixed(kInstallRatio, 2))
                 + fixed(worst, 2) + QStringLiteral(" (>= %1)").arg(fixed(kWorstPairRatio, 2));
    row.pass = ratio >= kInstallRatio && worst >= kWorstPairRatio;
    return row;
}

QStringList install_details(const QString &name, const InstallSeries &runs, const QString &trust)
{
    return {name + QStringLiteral(", ours (s): ") + series(runs.ours_s, 3),
            name + QStringLiteral(", add_task to the first progress signal (ms): ") + series(runs.first_ms, 1),
            name + QStringLiteral(", paired ratio reference / ours: ")
                + series(paired_ratios(runs.curl_s, runs.ours_s), 2),
            name + QStringLiteral(", reference command (s), --cacert %1: ").arg(QFileInfo(trust).fileName())
                + series(runs.curl_s, 3),
            name + QStringLiteral(", curl's own transfer time (s): ") + series(runs.curl_transfer_s, 3),
            name + QStringLiteral(", CPU time of the program (s): ") + series(runs.ours_cpu_s, 3),
            QStringLiteral("  of which the GUI thread (s): ") + series(runs.gui_cpu_s, 3),
            QStringLiteral("  of which in the kernel (s): ") + series(runs.system_cpu_s, 3),
            name + QStringLiteral(", CPU time of the reference (s): ") + series(runs.curl_cpu_s, 3),
            name + QStringLiteral(", progress signals: ") + series(runs.reports, 0),
            name + QStringLiteral(", card paint events: ") + series(runs.paints, 0)};
}

struct MemoryRuns {
    QVector<double> growth_mb;
    QVector<double> seconds;
    QString failure;
};

MemoryRuns measure_memory(const QStringList &arguments, int runs)
{
    MemoryRuns result;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments(arguments.mid(1) + QStringList{QStringLiteral("--memory-child")});
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start();
        child.waitForFinished(600000);
        const QString answer = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
        if (child.exitCode() != 0 || !answer.startsWith(QStringLiteral("peak_growth_mb="))) {
            result.failure = answer.isEmpty() ? QStringLiteral("the child process failed") : answer;
            return result;
        }
        const QStringList fields = answer.split(QLatin1Char(' '));
        result.growth_mb.append(fields.value(0).section(QLatin1Char('='), 1).toDouble());
        result.seconds.append(fields.value(1).section(QLatin1Char('='), 1).toDouble());
    }
    return result;
}

int run_all(const Options &options, const QStringList &arguments)
{
    print(
        QStringLiteral("cores: %1, load average at start: %2\n").arg(QThread::idealThreadCount()).arg(load_average()));

    const CatalogueFacts facts = write_catalogue(QDir(options.data_dir).filePath(QStringLiteral("catalog.json")),
                                                 kCatalogueRecords, kCoverCount);
    if (facts.records == 0 || !write_covers(options.data_dir, kCoverCount)) {
        print(QStringLiteral("cannot write the catalogue or the covers into %1\n").arg(options.data_dir));
        return 1;
    }

    const QString game_dir = QDir(options.work_dir).filePath(QStringLiteral("game"));
    BenchPage page(game_dir);
    if (!page.failure().isEmpty()) {
        print(QStringLiteral("the window did not come up: %1\n").arg(page.failure()));
        return 1;
    }
    QVector<TableRow> rows;
    QStringList details;

    // Catalogue and page view first, while nothing else has run in this process.
    CatalogueRuns catalogue;
    PageRuns pages;
    if (options.wants(QStringLiteral("catalogue"))) {
        print(QStringLiteral("catalogue and page view ...\n"));
        catalogue = measure_catalogue(page, facts, options.runs);
        pages = measure_page_build(page, facts, options.runs);
    }

    // Install without and with the catalogue's checks: the program against curl, and
    // against curl followed by sha256sum.
    const SkinFiles skin{QStringLiteral("基准皮肤"), QStringLiteral("skin200"), options.data_dir, mod_dir(game_dir)};
    const QJsonObject record = skin_record(skin.name, skin.stem);
    InstallSeries plain, verified;
    if (options.wants(QStringLiteral("install"))) {
        print(QStringLiteral("install of a 200 MB skin ...\n"));
        plain = measure_installs(page, skin, record, options, false);
    }
    if (options.wants(QStringLiteral("verified"))) {
        print(QStringLiteral("verified install of a 200 MB skin ...\n"));
        verified = measure_installs(page, skin, verified_record(record, options.data_dir, skin.stem), options, true);
    }

    // Cancel while the body stalls.
    QVector<double> cancel_ms;
    QString cancel_failure;
    if (options.wants(QStringLiteral("cancel"))) {
        print(QStringLiteral("cancel during a stalled transfer ...\n"));
        StallServer server(options.cert, options.key, 64LL << 20, 1LL << 20);
        const QString base = BASE_URL;
        if (!page.show_page(copies(record))) {
            cancel_failure = QStringLiteral("the page of the install skin did not come up");
        } else if (!server.ok()) {
            cancel_failure = QStringLiteral("the stalling server did not start");
        } else {
            set_base_url(server.base_url());
            for (int run = 0; run < options.runs && cancel_failure.isEmpty(); ++run) {
                const CancelRun cancel = measure_cancel(page, skin, server);
                cancel_failure = cancel.failure;
                cancel_ms.append(cancel.latency_ms);
                settle(100);
            }
        }
        set_base_url(base);
    }

    MemoryRuns memory;
    if (options.wants(QStringLiteral("memory"))) {
        print(QStringLiteral("memory while installing 1 GB ...\n"));
        memory = measure_memory(arguments, options.runs);
    }

    // The table.
    const auto add_row = [&](const QString &part, const TableRow &row) {
        if (options.wants(part))
            rows.append(row);
    };
    add_row(QStringLiteral("install"),
            install_row(QStringLiteral("1 install 200 MB, add_task..task_completed"), QStringLiteral("curl"), plain));
    add_row(QStringLiteral("verified"), install_row(QStringLiteral("1 verified install 200 MB (4 keys)"),
                                                    QStringLiteral("curl+sha256sum"), verified));
    const QString ms = QStringLiteral("ms");
    add_row(QStringLiteral("install"), bound_row(QStringLiteral("2 longest GUI-thread gap during install"),
                                                 plain.gaps_ms, ms, 50, 1, plain.failure));
    add_row(QStringLiteral("install"), bound_row(QStringLiteral("2 finished..last progress handled"), plain.backlog_ms,
                                                 ms, 100, 1, plain.failure));
    add_row(QStringLiteral("memory"), bound_row(QStringLiteral("3 peak RSS growth, 1 GB install"), memory.growth_mb,
                                                QStringLiteral("MB"), 16, 1, memory.failure));
    add_row(QStringLiteral("cancel"),
            bound_row(QStringLiteral("4 cancel latency, stalled body"), cancel_ms, ms, 200, 1, cancel_failure));
    add_row(QStringLiteral("catalogue"),
            bound_row(QStringLiteral("5 load_categories, %1 records").arg(kCatalogueRecords), catalogue.load_ms, ms,
                      150, 1, catalogue.failure));
    add_row(QStringLiteral("catalogue"),
            bound_row(QStringLiteral("5 _load_skins filter+sort (%1 kept)").arg(catalogue.selected),
                      catalogue.select_ms, ms, 20, 2, catalogue.failure));
    add_row(QStringLiteral("catalogue"), bound_row(QStringLiteral("6 show_current_page, 6 cached covers"),
                                                   pages.build_ms, ms, 60, 1, pages.failure));

    details << QStringLiteral("runs per figure: %1 (medians shown)").arg(options.runs)
            << install_details(QStringLiteral("install"), plain, options.trust)
            << install_details(QStringLiteral("verified install"), verified, options.trust)
            << QStringLiteral("longest GUI gap (ms): ") + series(plain.gaps_ms, 1)
            << QStringLiteral("backlog (ms): ") + series(plain.backlog_ms, 1)
            << QStringLiteral("1 GB install, peak RSS growth (MB): ") + series(memory.growth_mb, 1)
            << QStringLiteral("1 GB install, time (s): ") + series(memory.seconds, 2)
            << QStringLiteral("cancel latency (ms): ") + series(cancel_ms, 1)
            << QStringLiteral("load_categories (ms): ") + series(catalogue.load_ms, 1)
            << QStringLiteral("  of which request / parse / rank (median ms): %1 / %2 / %3")
                   .arg(fixed(median(catalogue.request_ms), 1), fixed(median(catalogue.parse_ms), 1),
                        fixed(median(catalogue.rank_ms), 1))
            << QStringLiteral("select_skins (ms): ") + series(catalogue.select_ms, 2)
            << QStringLiteral("show_current_page (ms): ") + series(pages.build_ms, 1);
    for (const QString &failure :
         {plain.failure, verified.failure, cancel_failure, memory.failure, catalogue.failure, pages.failure})
        if (!failure.isEmpty())
            details << QStringLiteral("measurement failed: ") + failure;
    for (const QString &box : recorded_boxes())
        details << QStringLiteral("message box during the run: ") + box;

    print(QLatin1Char('\n') + format_table(rows) + QLatin1Char('\n'));
    print(details.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    print(QStringLiteral("cores: %1, load average at end: %2\n").arg(QThread::idealThreadCount()).arg(load_average()));

    bool measured = recorded_boxes().isEmpty();
    for (const TableRow &row : rows)
        measured = measured && row.measured;
    return measured ? 0 : 1;
}

}  // namespace

int main(int argc, char *argv[])
{
    init_process_values();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    parser.addOptions({
        {QStringLiteral("data"), QStringLiteral("Folder the bench server serves."), QStringLiteral("dir")},
        {QStringLiteral("work"), QStringLiteral("Scratch folder."), QStringLiteral("dir")},
        {QStringLiteral("cert"), QStringLiteral("Server certificate (PEM)."), QStringLiteral("file")},
        {QStringLiteral("key"), QStringLiteral("Server key (PEM)."), QStringLiteral("file")},
        {QStringLiteral("trust"),
         QStringLiteral("Certificates curl trusts (default: --cert); give it the bundle the program trusts."),
         QStringLiteral("file")},
        {QStringLiteral("runs"), QStringLiteral("Runs per figure."), QStringLiteral("n"), QStringLiteral("5")},
        {QStringLiteral("only"), QStringLiteral("Run only these parts: catalogue, install, verified, cancel, memory."),
         QStringLiteral("parts")},
        {QStringLiteral("memory-child"), QStringLiteral("Internal: one 1 GB install.")},
    });
    parser.process(arguments);
    Options options;
    options.data_dir = parser.value(QStringLiteral("data"));
    options.work_dir = parser.value(QStringLiteral("work"));
    options.cert = parser.value(QStringLiteral("cert"));
    options.key = parser.value(QStringLiteral("key"));
    options.trust = parser.isSet(QStringLiteral("trust")) ? parser.value(QStringLiteral("trust")) : options.cert;
    options.runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    options.memory_child = parser.isSet(QStringLiteral("memory-child"));
    options.only = parser.value(QStringLiteral("only")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (options.data_dir.isEmpty() || options.work_dir.isEmpty() || options.cert.isEmpty() || options.key.isEmpty()) {
        std::fputs("usage: zorbel-bench --data DIR --work DIR --cert FILE --key FILE [--runs N]\n", stderr);
        return 2;
    }

    log_marks::install(
        QDir(options.work_dir)
            .filePath(options.memory_child ? QStringLiteral("bench-memory.log") : QStringLiteral("bench.log")));
    HttpSession::global_init();
    QApplication app(argc, argv);
    install_box_recorder();

    int code = 0;
    QTimer::singleShot(0, &app, [&] {
        code = options.memory_child ? run_memory_child(options) : run_all(options, arguments);
        app.exit(code);
    });
    app.exec();
    return code;
}
