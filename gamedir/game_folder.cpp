#include "gamedir/game_folder.h"

#include "app/config.h"
#include "app/logging.h"
#include "app/outcome.h"
#include "gamedir/native_path.h"

#include <QFile>
#include <QFileInfo>

#include <system_error>

const QString GAME_EXE_NAME = QStringLiteral("DreadHunger-Win64-Shipping.exe");
const QString GAME_PAK_FILE = QStringLiteral("DreadHunger-WindowsNoEditor.pak");
const QString PERMISSION_PROBE = QStringLiteral("permission_test.tmp");

namespace {

Failure failure_at(const QString &reason, const QString &path)
{
    return Failure{QStringLiteral("%1: '%2'").arg(reason, shown_path(path))};
}

// Creates the probe's folder chain, writes the probe and removes it; fails at the first
// step that does.
Outcome<void> write_test(const QString &probe_path)
{
    const QString folder = QFileInfo(probe_path).path();
    std::error_code error;
    std::filesystem::create_directories(native_path(folder), error);
    if (error)
        return failure_at(QString::fromLocal8Bit(error.message().c_str()), folder);

    QFile probe(probe_path);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return failure_at(probe.errorString(), probe_path);
    const bool written = probe.write("test") == 4;
    probe.close();
    if (!written || probe.error() != QFileDevice::NoError) {
        const QString reason = probe.errorString();
        QFile::remove(probe_path);  // no half-written probe left behind
        return failure_at(reason, probe_path);
    }
    if (!probe.remove())
        return failure_at(probe.errorString(), probe_path);
    return {};
}

}  // namespace

std::optional<ProcessInfo> find_game_process(const QList<ProcessInfo> &processes)
{
    for (const ProcessInfo &process : processes)
        if (!process.name.isEmpty() && process.name.contains(GAME_EXE_NAME, Qt::CaseSensitive))
            return process;
    return std::nullopt;
}

QString parent_folder(const QString &path)
{
    const int drive = drive_prefix_length(path);
    int cut = path.size();
    while (cut > drive && !is_path_separator(path.at(cut - 1)))
        --cut;
    const QString head = path.left(cut);
    int end = head.size();
    while (end > drive && is_path_separator(head.at(end - 1)))
        --end;
    return end == drive ? head : head.left(end);
}

QString game_root_from_exe(const QString &exe_path)
{
    QString folder = exe_path;
    for (int level = 0; level < 4; ++level)
        folder = parent_folder(folder);
    return folder;
}

QStringList validate_game_dir(const QString &game_root)
{
    QStringList errors;
    const QString check_path = join_path(game_root, PAK_DIR, GAME_PAK_FILE);
    if (!QFileInfo::exists(check_path))
        errors.append(QStringLiteral("无效目录: 未找到") + QStringLiteral("必需文件") + QLatin1Char(' ')
                      + shown_path(check_path));

    const Outcome<void> written = write_test(join_path(game_root, MOD_SUBDIR, PERMISSION_PROBE));
    if (!written.ok())
        errors.append(QStringLiteral("目录不可写: ") + written.error);
    return errors;
}

QString join_errors(const QStringList &errors)
{
    return errors.join(QStringLiteral("，"));
}
