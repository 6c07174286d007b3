#pragma once
// File-system faults for the time a case runs. Both need root and Linux facilities
// (chattr, a tmpfs mount); where they are missing the fault is not in force and the case
// skips itself with REQUIRE_FAULT.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>

inline bool run_fault_tool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Sets the immutable flag on a file or folder: nothing in it can be created, removed,
// renamed or changed, by root either.
class ImmutableFlag {
public:
    explicit ImmutableFlag(const QString &path)
        : path(path)
        , set(run_fault_tool(QStringLiteral("chattr"), {QStringLiteral("+i"), path}))
    {
        // Some file systems accept the flag and ignore it.
        QFile probe(path + QStringLiteral("/.immutable_probe"));
        effective = set && !(QFileInfo(path).isDir() && probe.open(QIODevice::WriteOnly) && probe.remove());
    }
    ~ImmutableFlag()
    {
        if (set)
            run_fault_tool(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
    }
    ImmutableFlag(const ImmutableFlag &) = delete;
    ImmutableFlag &operator=(const ImmutableFlag &) = delete;
    // The flag is set and honoured (a write into a flagged folder fails).
    bool in_force() const { return effective; }

private:
    const QString path;
    const bool set;
    bool effective = false;
};

// A file system of `kib` KiB mounted on the folder `path`.
class SmallDisk {
public:
    SmallDisk(const QString &path, int kib)
        : path(path)
        , mounted(run_fault_tool(QStringLiteral("mount"),
                                 {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                  QStringLiteral("size=%1k").arg(kib), QStringLiteral("tmpfs"), path}))
    {
    }
    ~SmallDisk()
    {
        if (mounted)
            run_fault_tool(QStringLiteral("umount"), {path});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool in_force() const { return mounted; }

private:
    const QString path;
    const bool mounted;
};

#define REQUIRE_FAULT(fault)                                                                                           \
    if (!(fault).in_force())                                                                                           \
    QSKIP("this system cannot make the fault (it needs root and Linux: chattr, mount)")
