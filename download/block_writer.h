#pragma once
// Writes a transfer file in large blocks. The body arrives in pieces of a few KB, and a
// system call per piece costs more than the copy itself; holding up to one block in
// memory keeps the writes few while memory use stays fixed, whatever the file's size.
//
// A write that fails is remembered: append() and finish() return false from then on, so a
// file that was not written whole is never taken for a finished one.
//
// Each block is hashed on a thread of its own once it is written, while the next one
// fills: the file's SHA-256 costs no second read and little time, and it covers every byte
// since the last (re)start, whatever number of requests brought them.

#include "download/background_hash.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <vector>

class BlockWriter {
public:
    static constexpr int kBlockSize = 256 * 1024;  // two fit the CPU cache beside the TLS buffers

    explicit BlockWriter(const QString &path);

    // Creates the file, or empties it when it exists.
    bool open();
    // Takes `size` bytes; writes a block whenever one is full.
    bool append(const char *data, qint64 size);
    // Drops everything taken so far, held or written, for a new start from byte 0.
    bool restart();
    // Writes what is held and closes the file. Also closes after an earlier failure.
    bool finish();
    // The SHA-256 of the whole file, once finish() succeeded.
    QByteArray sha256() const { return digest; }

    bool is_open() const { return file.isOpen(); }
    qint64 size() const { return taken; }  // bytes taken since the last (re)start
    QString error_string() const { return failure; }

private:
    bool write_held();
    bool fail();

    char *block() { return blocks.data() + current * kBlockSize; }

    QFile file;
    std::vector<char> blocks;  // two of kBlockSize bytes once open: one fills while the other is hashed
    int current = 0;
    qint64 held = 0;  // bytes of block() not yet written
    qint64 taken = 0;
    QString failure;
    BackgroundHash hash;
    QByteArray digest;
};
