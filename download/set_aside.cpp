#include "download/set_aside.h"

#include "app/file_calls.h"
#include "app/folder_walk.h"
#include "app/logging.h"
#include "download/safe_file_ops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Record lines: "=" + name for a file that replaces an installed one, "+" + name for one
// that is new to the folder; a last line "." shows the record was written whole.
const QString kReplaces = QStringLiteral("=");
const QString kAdds = QStringLiteral("+");
const QString kEnd = QStringLiteral(".");

bool has_suffix(const QString &name, const QString &suffix)
{
    return name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseSensitive);
}

bool something_at(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString file_name(const QString &path)
{
    return QFileInfo(path).fileName();
}

bool flushed(const QString &path, QString *failure)
{
    QString why;
    if (flush_to_disk(path, &why))
        return true;
    *failure = QStringLiteral("无法写入磁盘: ") + shown_path(path) + QStringLiteral(" - ") + why;
    return false;
}

// A copy without a move record (an install of an earlier version ended before it took the
// copy back or removed it). Without its installed file the copy is the skin's only one.
void settle_set_aside_copy(const QString &path)
{
    const QString installed = path.chopped(SET_ASIDE_SUFFIX.size());
    if (something_at(installed)) {
        remove_leftover(path);
        return;
    }
    if (safe_rename(path, installed))
        log_warning(QStringLiteral("已恢复被中断的安装替换的文件: ") + shown_path(installed));
    else
        log_error(QStringLiteral("恢复被替换的文件失败: ") + shown_path(path));
}

bool write_record(const QString &path, const QString &text, QString *failure)
{
    QFile record(path);
    const QByteArray bytes = text.toUtf8();
    if (!record.open(QIODevice::WriteOnly | QIODevice::Truncate) || record.write(bytes) != bytes.size()
        || !record.flush()) {
        *failure = QStringLiteral("无法写入文件: ") + shown_path(path) + QStringLiteral(" - ") + record.errorString();
        return false;
    }
    record.close();
    return flushed(path, failure) && flushed(QFileInfo(path).path(), failure);
}

}  // namespace

QString set_aside_path(const QString &installed_path)
{
    return installed_path + SET_ASIDE_SUFFIX;
}

PairMove::PairMove(const QStringList &installed_paths)
    : _record(installed_paths.value(0) + MOVE_RECORD_SUFFIX)
{
    const QString folder = QFileInfo(_record).path();
    QString record_text;
    QStringList replaced;
    for (const QString &path : installed_paths) {
        const bool replaces = something_at(path);
        record_text += (replaces ? kReplaces : kAdds) + file_name(path) + QLatin1Char('\n');
        if (replaces)
            replaced << path;
    }
    record_text += kEnd + QLatin1Char('\n');

    // The new files are on the disk before anything installed is touched.
    _steps << [this, installed_paths, folder] {
        for (const QString &path : installed_paths)
            if (!flushed(path + TRANSFER_SUFFIX, &_failure))
                return false;
        return flushed(folder, &_failure);
    };
    _steps << [this, record_text] { return write_record(_record, record_text, &_failure); };
    _add_replacing_steps(installed_paths, replaced);
    _add_closing_steps(folder, installed_paths.value(0), replaced);
}

void PairMove::_add_replacing_steps(const QStringList &installed_paths, const QStringList &replaced)
{
    // Set aside first, so that a file that cannot be moved (held open by the game, say)
    // stops the move before any new file is in place.
    for (const QString &path : replaced) {
        _steps << [this, path] {
            if (QFileInfo(path).isFile() && safe_rename(path, set_aside_path(path)))
                return true;
            _failure = QStringLiteral("无法替换已安装的文件: ") + file_name(path);
            return false;
        };
    }
    for (const QString &path : installed_paths) {
        _steps << [this, path] {
            if (safe_rename(path + TRANSFER_SUFFIX, path))
                return true;
            _failure = QStringLiteral("无法将文件移动到位: ") + file_name(path);
            return false;
        };
    }
}

void PairMove::_add_closing_steps(const QString &folder, const QString &pak, const QStringList &replaced)
{
    _steps << [this, folder, pak] {
        if (!flushed(folder, &_failure))
            return false;
        if (safe_remove(_record))
            return true;
        _failure = QStringLiteral("无法将文件移动到位: ") + file_name(pak);
        return false;
    };
    // The new pair is installed: the old one is no longer needed once the record's removal
    // is on the disk (a record that came back would undo the move without its copies). A
    // copy that stays is an ordinary leftover for the clean-up.
    _steps << [replaced, folder] {
        QString failure;
        if (!flushed(folder, &failure)) {
            log_warning(failure);
            return true;
        }
        for (const QString &path : replaced)
            safe_remove(set_aside_path(path));
        return true;
    };
}

bool PairMove::take_step()
{
    if (_next >= _steps.size())
        return false;
    return _steps.at(_next++)();
}

int PairMove::steps_left() const
{
    return _steps.size() - _next;
}

QString PairMove::run()
{
    while (steps_left() > 0) {
        if (take_step())
            continue;
        QStringList kept;
        if (something_at(_record))
            settle_move_record(_record, &kept);
        if (!kept.isEmpty())
            _failure += QStringLiteral("；原文件未能恢复，仍保存为: ") + kept.join(QStringLiteral(", "));
        return _failure;
    }
    return QString();
}

bool settle_move_record(const QString &record_path, QStringList *kept)
{
    QFile record(record_path);
    if (!record.open(QIODevice::ReadOnly)) {
        log_error(QStringLiteral("无法读取安装记录: ") + shown_path(record_path) + QStringLiteral(" - ")
                  + record.errorString());
        return false;
    }
    const QStringList lines = QString::fromUtf8(record.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    record.close();
    const QDir folder = QFileInfo(record_path).dir();
    bool settled = true;
    // A record cut short was being written: nothing had moved yet.
    if (lines.value(lines.size() - 1) == kEnd) {
        for (const QString &line : lines.mid(0, lines.size() - 1)) {
            const QString name = line.mid(1);
            if (!usable_file_name(name) || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
                continue;  // not a record this program wrote
            const QString path = folder.filePath(name);
            const QString copy = set_aside_path(path);
            // Only a file can be a copy the move made; anything else in its place stays.
            if (QFileInfo(copy).isFile()) {
                if (safe_rename(copy, path)) {
                    log_warning(QStringLiteral("已恢复被中断的安装替换的文件: ") + shown_path(path));
                } else {
                    settled = false;
                    if (kept)
                        *kept << copy;
                }
            } else if (line.startsWith(kAdds) && !something_at(path + TRANSFER_SUFFIX) && QFileInfo(path).isFile()) {
                // Put in place by the move, with nothing installed before it.
                if (safe_remove(path))
                    log_warning(QStringLiteral("已移除被中断的安装放入的文件: ") + shown_path(path));
                else
                    settled = false;
            }
        }
    }
    if (settled && !safe_remove(record_path))
        settled = false;
    if (!settled)
        log_error(QStringLiteral("被中断的安装未能完全撤销: ") + shown_path(record_path));
    return settled;
}

void remove_leftover(const QString &path)
{
    if (safe_remove(path))
        log_info(QStringLiteral("已清理无效文件: ") + shown_path(path));
    else
        log_warning(QStringLiteral("清理失败: ") + shown_path(path));
}

bool is_move_leftover(const QString &name)
{
    return has_suffix(name, MOVE_RECORD_SUFFIX) || has_suffix(name, SET_ASIDE_SUFFIX);
}

void settle_interrupted_moves(const QString &folder, const QStringList &files)
{
    const QDir dir(folder);
    bool all_settled = true;
    for (const QString &name : files)
        if (has_suffix(name, MOVE_RECORD_SUFFIX) && QFileInfo(dir.filePath(name)).isFile())
            all_settled = settle_move_record(dir.filePath(name)) && all_settled;
    // Copies beside a record that could not be settled are its own: they wait for the next
    // attempt.
    if (!all_settled)
        return;
    for (const QString &name : files)
        if (has_suffix(name, SET_ASIDE_SUFFIX) && QFileInfo::exists(dir.filePath(name)))
            settle_set_aside_copy(dir.filePath(name));
}

void restore_set_aside_copies(const QString &mod_dir)
{
    walk_folders(mod_dir, [](const QString &folder, const QStringList &files) {
        settle_interrupted_moves(folder, files);
        return true;
    });
}
