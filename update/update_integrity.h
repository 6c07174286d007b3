#pragma once
// What the version record vouches for about the new program file, and the check of the
// downloaded file against it. Whoever can change the record or the file on its way
// (a plain-HTTP answer, a hostile mirror) would otherwise pick the program the player
// runs next.

#include "app/outcome.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The raw Ed25519 public key this program was built with (ZORBEL_UPDATE_PUBLIC_KEY);
// empty when the build has none.
QByteArray update_public_key();

struct UpdateIntegrity {
    QByteArray sha256;  // 32 bytes, or empty when an unkeyed build got no checksum
};

// Reads the record's checksum and signature for the file the record offers under
// `file_name`. With a `public_key`, both are required and the signature must be the
// publisher's over update_statement() of the record's version, `file_name` and the
// checksum: checked here, before anything is downloaded. Without a key, a checksum is
// taken when present and the signature is ignored.
Outcome<UpdateIntegrity> read_update_integrity(const QJsonObject &record, const QString &file_name,
                                               const QByteArray &public_key);

// Succeeds when the file at `path` has the checksum (or there is none to compare); otherwise
// fails with the reason it does not. Reads the file in pieces (it may be large).
Outcome<void> check_update_file(const QString &path, const UpdateIntegrity &integrity);
