// Process list from /proc. Native programs are named by their "exe" link; a Windows
// program under Wine runs inside a wine loader, so its own exe is read from the Windows
// path that Wine puts first on the command line.

#include "gamedir/process_list.h"
#include "gamedir/wine_path.h"

#include "app/config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <unistd.h>

namespace {

const QString kDeletedSuffix = QStringLiteral(" (deleted)");

QByteArray read_proc_file(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QString read_exe_link(const QString &proc_dir)
{
    const QByteArray link = QFile::encodeName(proc_dir + QStringLiteral("/exe"));
    QByteArray target(4096, '\0');
    const ssize_t length = ::readlink(link.constData(), target.data(), size_t(target.size()));
    if (length <= 0 || length >= target.size())
        return QString();
    QString path = QFile::decodeName(target.left(int(length)));
    // A replaced or removed executable still runs; report the path it was started from.
    if (path.endsWith(kDeletedSuffix) && !QFileInfo::exists(path))
        path.chop(kDeletedSuffix.size());
    return path;
}

QList<QByteArray> split_nul(const QByteArray &data)
{
    QList<QByteArray> parts = data.split('\0');
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    return parts;
}

QString environment_value(const QList<QByteArray> &environment, const QByteArray &key)
{
    const QByteArray prefix = key + '=';
    for (const QByteArray &entry : environment)
        if (entry.startsWith(prefix))
            return QFile::decodeName(entry.mid(prefix.size()));
    return QString();
}

QString wine_prefix_of(const QString &proc_dir)
{
    const QList<QByteArray> environment = split_nul(read_proc_file(proc_dir + QStringLiteral("/environ")));
    const QString prefix = environment_value(environment, "WINEPREFIX");
    if (!prefix.isEmpty())
        return prefix;
    QString home = environment_value(environment, "HOME");
    if (home.isEmpty())
        home = QDir::homePath();
    return QDir(home).filePath(QStringLiteral(".wine"));
}

ProcessInfo examine(const QString &proc_dir)
{
    ProcessInfo info;
    const QList<QByteArray> arguments = split_nul(read_proc_file(proc_dir + QStringLiteral("/cmdline")));
    const QString first = arguments.isEmpty() ? QString() : QString::fromUtf8(arguments.first());
    if (is_windows_drive_path(first)) {
        info.name = windows_base_name(first);
        info.exe_path = wine_to_unix_path(first, wine_prefix_of(proc_dir));
        return info;
    }
    info.exe_path = read_exe_link(proc_dir);
    if (!info.exe_path.isEmpty())
        info.name = QFileInfo(info.exe_path).fileName();
    else  // kernel threads and other users' processes (without root)
        info.name = QString::fromUtf8(read_proc_file(proc_dir + QStringLiteral("/comm"))).trimmed();
    return info;
}

}  // namespace

ProcessList platform_process_list()
{
    QDir proc(QStringLiteral("/proc"));
    if (!proc.exists(QStringLiteral("self")))
        return Failure{QStringLiteral("无法读取进程列表: /proc 不可用")};
    QList<qint64> pids;
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (numeric)
            pids.append(pid);
    }
    std::sort(pids.begin(), pids.end());

    QList<ProcessInfo> processes;
    for (qint64 pid : pids) {
        const QString proc_dir = QStringLiteral("/proc/%1").arg(pid);
        ProcessInfo info = examine(proc_dir);
        // Gone while we looked: what was read may be partial.
        if (!QFileInfo::exists(proc_dir + QStringLiteral("/stat")))
            continue;
        processes.append(info);
    }
    return processes;
}
