#pragma once
// File-system faults for the time a case runs. Both need root and Linux facilities
// (chattr, a tmpfs mount); where they are missing the fault is not in force and the case
// skips itself with REQUIRE_FAULT.

#include <QString>

// Sets the immutable flag on a file or folder: nothing in it can be created, removed,
// renamed or changed, by root either.
class ImmutableFlag {
public:
    explicit ImmutableFlag(const QString &path);
    ~ImmutableFlag();
    ImmutableFlag(const ImmutableFlag &) = delete;
    ImmutableFlag &operator=(const ImmutableFlag &) = delete;
    // The flag is set and honoured (a write into a flagged folder fails).
    bool in_force() const { return effective; }

private:
    const QString path;
    bool set = false;
    bool effective = false;
};

// A file system of `kib` KiB mounted on the folder `path`.
class SmallDisk {
public:
    SmallDisk(const QString &path, int kib);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool in_force() const { return mounted; }

private:
    const QString path;
    bool mounted = false;
};

#define REQUIRE_FAULT(fault)                                                                                           \
    if (!(fault).in_force())                                                                                           \
    QSKIP("this system cannot make the fault (it needs root and Linux: chattr, mount)")
