#include "support/fs_faults.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

ImmutableFlag::ImmutableFlag(const QString &path)
    : path(path)
{
    set = run(QStringLiteral("chattr"), {QStringLiteral("+i"), path});
    if (!set || !QFileInfo(path).isDir()) {
        effective = set;
        return;
    }
    // Some file systems accept the flag and ignore it.
    QFile probe(path + QStringLiteral("/.immutable_probe"));
    effective = !probe.open(QIODevice::WriteOnly);
    if (!effective)
        probe.remove();
}

ImmutableFlag::~ImmutableFlag()
{
    if (set)
        run(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
}

SmallDisk::SmallDisk(const QString &path, int kib)
    : path(path)
{
    mounted = run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                            QStringLiteral("size=%1k").arg(kib), QStringLiteral("tmpfs"), path});
}

SmallDisk::~SmallDisk()
{
    if (mounted)
        run(QStringLiteral("umount"), {path});
}
