#include "install_bench.h"

#include "app/endpoints.h"
#include "app/http_session.h"
#include "bench_page.h"
#include "cards/skin_widget.h"
#include "download/download_manager.h"
#include "log_marks.h"
#include "measure.h"
#include "stall_server.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

namespace {

QString file_path(const QString &dir, const SkinFiles &skin, const QString &extension)
{
    return QDir(dir).filePath(skin.stem + extension);
}

void remove_installed(const SkinFiles &skin)
{
    for (const QString &extension : {QStringLiteral(".pak"), QStringLiteral(".sig")}) {
        QFile::remove(file_path(skin.mod_dir, skin, extension));
        QFile::remove(file_path(skin.mod_dir, skin, extension) + QStringLiteral(".tmp"));
    }
}

void reset_cards(BenchPage &page)
{
    for (SkinWidget *card : page.cards())
        card->_check_installation_status();
}

// Both files present with the server's sizes.
QString check_copies(const SkinFiles &skin, const QString &dir)
{
    for (const QString &extension : {QStringLiteral(".pak"), QStringLiteral(".sig")}) {
        const QFileInfo copy(file_path(dir, skin, extension));
        const QFileInfo source(file_path(skin.source_dir, skin, extension));
        if (!copy.exists() || copy.size() != source.size())
            return QStringLiteral("%1 missing or of the wrong size").arg(copy.fileName());
    }
    return QString();
}

bool is_sig_moved_into_place(const QString &message, const QString &sig_path)
{
    return message.startsWith(QStringLiteral("成功重命名: ")) && message.endsWith(QStringLiteral(" -> ") + sig_path);
}

// Longest gap between ticks of a 5 ms timer on the GUI thread: how long the thread
// could not answer the user.
class GapMeter {
public:
    explicit GapMeter(bool sample_memory)
        : sample_memory(sample_memory)
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        last_tick = now_ns();
        timer.start();
    }
    void stop()
    {
        tick();
        timer.stop();
    }
    double longest_ms() const { return longest; }
    qint64 largest_rss_kb() const { return largest_rss; }

private:
    void tick()
    {
        const qint64 now = now_ns();
        longest = std::max(longest, ms_between(last_tick, now));
        last_tick = now;
        if (sample_memory)
            largest_rss = std::max(largest_rss, rss_kb());
    }

    QTimer timer;
    const bool sample_memory;
    qint64 last_tick = 0;
    double longest = 0;
    qint64 largest_rss = 0;
};

// Counts the paint events its watched widgets receive.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// The two addresses the worker asks for, composed as the worker composes them.
QStringList skin_urls(const SkinFiles &skin)
{
    const QString query = QStringLiteral("?MainCategory=猎人&subcategory=猎人系列1&");
    return {SKIN_DOWNLOAD_API + query + QStringLiteral("pak_original=") + skin.stem + QStringLiteral(".pak"),
            SKIN_DOWNLOAD_API + query + QStringLiteral("sig_original=") + skin.stem + QStringLiteral(".sig")};
}

}  // namespace

InstallRun measure_install(BenchPage &page, const SkinFiles &skin, bool track_memory)
{
    InstallRun run;
    remove_installed(skin);
    reset_cards(page);
    const QList<SkinWidget *> cards = page.cards();
    if (cards.isEmpty() || cards.first()->action_button->text() != QStringLiteral("安装")) {
        run.failure = QStringLiteral("no card ready to install");
        return run;
    }

    DownloadManager *manager = DownloadManager::instance();
    QObject scope;  // the connections below end with it
    qint64 first_progress = 0;
    qint64 last_progress = 0;
    qint64 completed = 0;
    QString failed;
    QObject::connect(manager, &DownloadManager::progress_updated, &scope, [&](const QString &, int) {
        last_progress = now_ns();
        if (first_progress == 0)
            first_progress = last_progress;
        ++run.progress_signals;
    });
    QObject::connect(manager, &DownloadManager::task_completed, &scope, [&](const QString &) { completed = now_ns(); });
    QObject::connect(manager, &DownloadManager::task_failed, &scope,
                     [&](const QString &, const QString &message) { failed = message; });

    PaintCounter painted;
    for (SkinWidget *card : cards)
        card->installEventFilter(&painted);

    log_marks::clear();
    GapMeter gaps(track_memory);
    qint64 rss_before = 0;
    bool peak_reset = false;
    if (track_memory) {
        peak_reset = reset_peak_rss();
        rss_before = rss_kb();
    }

    const double cpu_before = process_cpu_seconds();
    const double system_cpu_before = process_system_cpu_seconds();
    const double gui_cpu_before = thread_cpu_seconds();
    const qint64 start = now_ns();
    gaps.start();
    cards.first()->_handle_action();
    const bool ended = wait_until([&] { return completed != 0 || !failed.isEmpty(); }, 600000, 20);
    gaps.stop();
    run.cpu_seconds = process_cpu_seconds() - cpu_before;
    run.gui_cpu_seconds = thread_cpu_seconds() - gui_cpu_before;
    run.system_cpu_seconds = process_system_cpu_seconds() - system_cpu_before;
    run.card_paints = painted.paints;
    for (SkinWidget *card : cards)
        card->removeEventFilter(&painted);

    if (!ended)
        run.failure = QStringLiteral("no outcome within 10 minutes");
    else if (!failed.isEmpty())
        run.failure = QStringLiteral("task_failed: ") + failed;
    else
        run.failure = check_copies(skin, skin.mod_dir);
    if (!run.failure.isEmpty())
        return run;

    run.seconds = ms_between(start, completed) / 1000;
    run.first_progress_ms = ms_between(start, first_progress);
    run.longest_gap_ms = gaps.longest_ms();
    // The worker logs the .sig's move into place, then emits finished.
    const qint64 finished = log_marks::last_time(&is_sig_moved_into_place, file_path(skin.mod_dir, skin, ".sig"));
    if (finished == 0)
        run.failure = QStringLiteral("the worker's last file move was not logged");
    else
        run.backlog_ms = std::max(0.0, ms_between(finished, last_progress));
    if (track_memory) {
        const qint64 peak = peak_reset ? std::max(peak_rss_kb(), gaps.largest_rss_kb()) : gaps.largest_rss_kb();
        run.peak_growth_mb = double(peak - rss_before) / 1024;
    }
    return run;
}

CurlRun measure_curl(const SkinFiles &skin, const QString &out_dir, const QString &ca_file, bool verify)
{
    CurlRun run;
    QDir().mkpath(out_dir);
    for (const QString &extension : {QStringLiteral(".pak"), QStringLiteral(".sig")})
        QFile::remove(file_path(out_dir, skin, extension));

    const QStringList urls = skin_urls(skin);
    QProcess curl;
    curl.setProgram(QStringLiteral("curl"));
    curl.setArguments({QStringLiteral("-s"), QStringLiteral("-S"), QStringLiteral("-g"), QStringLiteral("--cacert"),
                       ca_file, QStringLiteral("-w"), QStringLiteral("%{time_total}\\n"), QStringLiteral("-o"),
                       file_path(out_dir, skin, ".pak"), QString::fromLatin1(HttpSession::wire_url(urls.at(0))),
                       QStringLiteral("-o"), file_path(out_dir, skin, ".sig"),
                       QString::fromLatin1(HttpSession::wire_url(urls.at(1)))});
    const double cpu_before = children_cpu_seconds();
    const qint64 start = now_ns();
    curl.start();
    const bool done = curl.waitForFinished(600000);
    bool summed = true;
    QProcess sum;
    if (done && verify) {
        sum.start(QStringLiteral("sha256sum"), {file_path(out_dir, skin, ".pak"), file_path(out_dir, skin, ".sig")});
        summed = sum.waitForFinished(600000) && sum.exitStatus() == QProcess::NormalExit && sum.exitCode() == 0;
    }
    const qint64 end = now_ns();
    run.cpu_seconds = children_cpu_seconds() - cpu_before;
    if (!done || curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
        run.failure = QStringLiteral("curl failed: ") + QString::fromLocal8Bit(curl.readAllStandardError()).trimmed();
        return run;
    }
    if (!summed) {
        run.failure = QStringLiteral("sha256sum failed: ") + QString::fromLocal8Bit(sum.readAllStandardError());
        return run;
    }
    run.seconds = ms_between(start, end) / 1000;
    for (const QByteArray &line : curl.readAllStandardOutput().split('\n'))
        run.transfer_seconds += line.trimmed().toDouble();
    run.failure = check_copies(skin, out_dir);
    return run;
}

CancelRun measure_cancel(BenchPage &page, const SkinFiles &skin, StallServer &server)
{
    CancelRun run;
    remove_installed(skin);
    reset_cards(page);
    const QList<SkinWidget *> cards = page.cards();
    if (cards.size() < 2 || cards.first()->action_button->text() != QStringLiteral("安装")) {
        run.failure = QStringLiteral("no card ready to install");
        return run;
    }

    DownloadManager *manager = DownloadManager::instance();
    QObject scope;
    bool progressed = false;
    qint64 cancelled = 0;
    QString failed;
    QObject::connect(manager, &DownloadManager::progress_updated, &scope,
                     [&](const QString &, int) { progressed = true; });
    QObject::connect(manager, &DownloadManager::task_cancelled, &scope, [&](const QString &) { cancelled = now_ns(); });
    QObject::connect(manager, &DownloadManager::task_failed, &scope,
                     [&](const QString &, const QString &message) { failed = message; });

    cards.first()->_handle_action();
    if (!wait_until([&] { return (progressed && server.stalled()) || !failed.isEmpty(); }, 20000)) {
        run.failure = QStringLiteral("the transfer never stalled");
    } else if (!failed.isEmpty()) {
        run.failure = QStringLiteral("task_failed: ") + failed;
    } else {
        settle(150);  // the worker now waits for data that does not come
        // Any card of the skin may be pressed; the last one is as good as the first.
        const qint64 start = now_ns();
        cards.last()->_handle_cancel();
        if (cancelled == 0)
            run.failure = QStringLiteral("task_cancelled was not emitted");
        else
            run.latency_ms = ms_between(start, cancelled);
        if (QFileInfo::exists(file_path(skin.mod_dir, skin, ".pak.tmp")))
            run.failure = QStringLiteral("the transfer file was left behind");
    }
    server.release();
    // A failed run may leave the task running: end it so that the next one starts clean.
    manager->cancel_task(skin.name);
    return run;
}
