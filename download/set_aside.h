#pragma once
// Replacement of an installed skin as a pair, and its undoing after an interruption. The new .pak and .sig wait beside
// the installed ones under TRANSFER_SUFFIX. The move flushes them to the disk, writes a record of the pair (beside the
// .pak, under MOVE_RECORD_SUFFIX), sets each installed file aside (SET_ASIDE_SUFFIX), puts the new files in place and
// flushes the folder; removing the record is the moment the new pair counts as installed, and only then are the
// set-aside copies deleted. A move that stops before that moment (a failure, a crash, a forced exit) is undone from its
// record, at once or by the clean-up at the next start: either the whole old pair or the whole new pair stands, never a
// new .pak beside an old .sig.
//
// Blocking (file operations retry, flushes wait for the disk); any thread. One move per
// pair at a time, and no settling while a move of the same folder runs.

#include "app/config.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Where an install keeps `installed_path` while it replaces it.
QString set_aside_path(const QString &installed_path);

class PairMove {
public:
    // `installed_paths`: the names the new files take, all in one folder, the .pak first;
    // each new file stands at its name + TRANSFER_SUFFIX. What is installed is looked at now.
    explicit PairMove(const QStringList &installed_paths);
    PairMove(const PairMove &) = delete;  // its steps refer to it
    PairMove &operator=(const PairMove &) = delete;

    // Takes every step; after a failed one, undoes the move. Empty on success, otherwise the
    // failure, naming any installed file that stayed set aside.
    QString run();

    // The next step alone (run() is these in a row): false when it failed or none was left.
    bool take_step();
    int steps_left() const;

private:
    void _add_replacing_steps(const QStringList &installed_paths, const QStringList &replaced);
    void _add_closing_steps(const QString &folder, const QString &pak, const QStringList &replaced);

    QVector<std::function<bool()>> _steps;
    int _next = 0;
    QString _record;
    QString _failure;
};

// Settles the move that left `record_path` behind: puts every set-aside copy back and removes
// new files that had no installed file to replace, then removes the record. False when
// something could not be undone; the record then stays for the next attempt, and `kept`
// gets the copies still set aside.
bool settle_move_record(const QString &record_path, QStringList *kept = nullptr);

// Settles the interrupted moves among `files` of `folder` (one folder's names), each by
// its record first; then a set-aside copy without a record is put back when its installed
// file is missing, otherwise removed. Every step and failure is logged.
void settle_interrupted_moves(const QString &folder, const QStringList &files);

// The above for `mod_dir` and its sub-folders (at start, when an earlier run may have ended
// half-way); touches nothing else.
void restore_set_aside_copies(const QString &mod_dir);

// A name the move protocol gives its record or a set-aside copy: what settling left of a
// move is kept for the next attempt, and no clean-up removes it.
bool is_move_leftover(const QString &name);

// Removes a leftover file of an interrupted transfer or move, and logs how that went.
void remove_leftover(const QString &path);
