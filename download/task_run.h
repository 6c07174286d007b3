#pragma once
// The run of one download task, without a thread of its own: checks the skin's file
// names, probes both sizes (so progress spans both files), fetches each into its
// transfer file (download/file_fetch.h), and only once both arrived whole replaces the
// installed pair (download/set_aside.h) and records the install.
//
// Blocking, on the calling thread. `cancelled` may be raised by any thread; it aborts a
// request in progress.

#include "download/file_fetch.h"

#include <QString>
#include <QVariantMap>
#include <QVector>

#include <atomic>
#include <functional>

class TaskRun {
public:
    // `report` gets the overall percentage after every received piece. `begin_move` is
    // asked once both files have arrived; false means the task was cancelled, true that a
    // cancel is refused from then on.
    TaskRun(const QVariantMap &skin, QString install_path, const std::atomic_bool &cancelled,
            std::function<void(int)> report, std::function<bool()> begin_move);

    TaskOutcome execute();
    // Removes every transfer file this run may have made.
    void remove_temp_files() const;

    QString message;  // the failure's description when execute() returned Failed

private:
    TaskOutcome fail(const QString &description);
    // The names and promises of both files; Done when they may be fetched.
    TaskOutcome check_files(const QString &pak_filename, const QString &sig_filename, const FileChecks &pak_checks,
                            const FileChecks &sig_checks);
    TaskOutcome probe(const QString &url, const QString &filename, const FileChecks &checks);
    TaskOutcome fetch_all();
    TaskOutcome put_in_place();

    const QVariantMap skin;
    const QString install_path;
    const std::atomic_bool &cancelled;
    const std::function<bool()> begin_move;
    QVector<TransferEntry> entries;
    TaskProgress progress;
};
