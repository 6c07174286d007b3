#include "download/block_writer.h"

#include <algorithm>
#include <cstring>

BlockWriter::BlockWriter(const QString &path)
    : file(path)
{
}

bool BlockWriter::open()
{
    // Unbuffered: the block is the buffer, QFile would only copy it once more.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return fail();
    blocks.resize(2 * kBlockSize);
    return true;
}

bool BlockWriter::append(const char *data, qint64 size)
{
    if (!failure.isEmpty())
        return false;
    taken += size;
    while (size > 0) {
        const qint64 part = std::min(kBlockSize - held, size);
        std::memcpy(block() + held, data, size_t(part));
        held += part;
        data += part;
        size -= part;
        if (held == kBlockSize && !write_held())
            return false;
    }
    return true;
}

bool BlockWriter::restart()
{
    if (!failure.isEmpty())
        return false;
    held = 0;
    taken = 0;
    hash.reset();
    if (file.isOpen() && (!file.resize(0) || !file.seek(0)))
        return fail();
    return true;
}

bool BlockWriter::finish()
{
    const bool written = failure.isEmpty() && write_held();
    file.close();
    if (written)
        digest = hash.take_digest();
    return written;
}

bool BlockWriter::write_held()
{
    if (held == 0)
        return true;
    if (file.write(block(), held) != held)
        return fail();
    hash.add(block(), held);
    current = 1 - current;  // free now: add() waited for the hashing of the one before
    held = 0;
    return true;
}

bool BlockWriter::fail()
{
    if (failure.isEmpty())
        failure = file.errorString().isEmpty() ? QStringLiteral("write failed") : file.errorString();
    return false;
}
