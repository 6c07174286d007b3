#pragma once
// What the version record vouches for about the new program file, and the check of the
// downloaded file against it. The update is started elevated, so whoever can change the
// file on its way (or the record's address) could otherwise run anything on the machine.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// The raw Ed25519 public key this program was built with (ZORBEL_UPDATE_PUBLIC_KEY);
// empty when the build has none.
QByteArray update_public_key();

struct UpdateIntegrity {
    QByteArray sha256;     // 32 bytes, or empty when the record gives no checksum
    QByteArray signature;  // 64 bytes, or empty when the record gives none
};

// Reads both keys of `record`. Fails (the reason in `error`) on a value that is not what
// its key claims, and, when `public_key` is set, on a record without a signature: a
// program that knows its publisher's key takes no unsigned update.
std::optional<UpdateIntegrity> read_update_integrity(const QJsonObject &record, const QByteArray &public_key,
                                                     QString *error);

// Empty when the file at `path` matches the checksum (if any) and, when `public_key` is
// set, carries a valid signature by that key; otherwise the reason it does not.
QString check_update_file(const QString &path, const UpdateIntegrity &integrity, const QByteArray &public_key);
