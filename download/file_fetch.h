#pragma once
// One skin file of a download task, fetched into its transfer file across the requests it
// may take: a transfer that ends early is continued with a request for the rest (a few
// times, after growing pauses), a server that cannot continue it is asked for the whole
// file once more, and only a body of exactly the file's known size, with the catalogue's
// SHA-256 where it gives one, counts as whole.
//
// Blocking, on the calling thread (the worker's, or a test's). The cancel flag is read
// between pieces and during pauses, and aborts a request in progress.

#include "download/block_writer.h"
#include "download/file_checks.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

struct HttpResponse;

enum class TaskOutcome { Done, Failed, Cancelled };

struct TransferEntry {
    QString url;
    QString filename;  // as the catalogue names it
    QString temp_path;
    QString final_path;
    FileChecks checks;       // what the catalogue promises about the file
    qint64 announced = 0;    // size for the progress: the catalogue's, else the probe's, else 0
    qint64 whole_size = -1;  // the file's size where the catalogue or the probe tells it
    QByteArray sha256;       // of the file as it arrived
};

// The bytes of a task's files together, from which the overall percentage is reported.
struct TaskProgress {
    qint64 total_size = 0;
    qint64 downloaded = 0;
    std::function<void(int percent)> report;
};

QString size_mismatch(const QString &filename, qint64 size, qint64 expected);

class FileFetch {
public:
    FileFetch(TransferEntry &entry, const std::atomic_bool &cancelled, TaskProgress &progress);

    // On Done, the transfer file is whole and closed and entry.sha256 is set.
    TaskOutcome run();
    QString message;  // the failure's description when run() returned Failed

private:
    // How one request for the file's body ended.
    enum class Ending {
        Whole,
        Cut,           // the connection ended before the body was whole
        NotContinued,  // a request for the rest was answered with something else
        Failed,
        Cancelled,
    };

    TaskOutcome finish_whole();
    Ending request(bool resume);
    bool take_headers(const HttpResponse &response);
    bool take_piece(const char *data, size_t size);
    Ending ending_of(const HttpResponse &response);
    // Waits, or less when the task is cancelled meanwhile; false then.
    bool pause_unless_cancelled(int ms) const;
    TaskOutcome fail(const QString &description);
    QString write_failure() const;

    TransferEntry &entry;
    const std::atomic_bool &cancelled;
    TaskProgress &progress;
    BlockWriter file;
    qint64 expected;       // the whole file's size, -1 when unknown
    qint64 counted = 0;    // bytes of this file already in progress.downloaded
    QByteArray validator;  // of the first answer, for a request of the rest

    // Of the request under way.
    bool resuming = false;
    qint64 resumed_from = 0;
    QString failure;
    bool not_continued = false;
};
