#pragma once
// SHA-256 over data that arrives in parts, so that a file is hashed while it is written
// and never read a second time. Each platform uses the hash its system offers fastest:
// OpenSSL (with the processor's SHA instructions) on Linux, CNG on Windows.
//
// One object belongs to one thread at a time.

#include <QByteArray>

#include <memory>

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void add(const char *data, qint64 size);
    // The 32-byte digest of everything added since the last reset; starts over afterwards.
    QByteArray take_digest();
    void reset();

private:
    struct State;
    std::unique_ptr<State> state;
};
