#pragma once
// The install pipeline under load: one skin's .pak and .sig through DownloadManager and
// DownloadWorker while six cards of that skin follow every signal, compared with the
// curl command fetching the same two addresses; and a cancel during a stalled body.

#include <QString>

class BenchPage;
class StallServer;

// The skin shown on the page and where its files come from and go to.
struct SkinFiles {
    QString name;        // the record's "name"
    QString stem;        // files stem.pak and stem.sig
    QString source_dir;  // the server's copies (for the expected sizes)
    QString mod_dir;     // the game's mod folder
};

struct InstallRun {
    QString failure;               // empty when the files arrived whole
    double seconds = 0;            // add_task … task_completed
    double longest_gap_ms = 0;     // between two ticks of a 5 ms timer on the GUI thread
    double backlog_ms = 0;         // worker's finished … last progress signal handled
    double first_progress_ms = 0;  // add_task … first progress signal handled
    int progress_signals = 0;
    int card_paints = 0;            // paint events of the six cards
    double cpu_seconds = 0;         // of the whole process (GUI and download threads)
    double gui_cpu_seconds = 0;     // of the GUI thread alone
    double system_cpu_seconds = 0;  // in the kernel, for all threads
    double peak_growth_mb = 0;      // only when tracking memory
};

// Clicks "安装" on the page's first card and waits for the outcome. The page must show
// cards of `skin`; installed copies are removed first.
InstallRun measure_install(BenchPage &page, const SkinFiles &skin, bool track_memory);

struct CurlRun {
    QString failure;
    double seconds = 0;           // the whole command
    double transfer_seconds = 0;  // curl's own time_total, summed over both files
    double cpu_seconds = 0;
};

// curl -s -o … --cacert … for both files of `skin` into `out_dir`; with `verify`, then
// sha256sum of both (the fair reference for a download whose files are checked).
CurlRun measure_curl(const SkinFiles &skin, const QString &out_dir, const QString &ca_file, bool verify);

struct CancelRun {
    QString failure;
    double latency_ms = 0;  // _handle_cancel … task_cancelled
};

// Starts an install whose body stalls after its first bytes, waits until the transfer
// hangs, then presses "取消" on a card.
CancelRun measure_cancel(BenchPage &page, const SkinFiles &skin, StallServer &server);
