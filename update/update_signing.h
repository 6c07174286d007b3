#pragma once
// The publisher's side of signed updates: the key pair and the signature of a release,
// for the operators' tools (never linked into the program, which holds only the public key).
//
// The private key file holds one line: the base64 of the 32-byte Ed25519 seed.
// Not thread-safe in any special way; each call stands alone.

#include "app/outcome.h"

#include <QJsonObject>
#include <QString>

// Makes a key pair: the private key goes to `key_path` (a new file, readable by its owner
// only); the outcome is the public key's base64.
Outcome<QString> make_update_keys(const QString &key_path);

// Signs the release `file_path`, offered as version `version` under the download name
// `file_name`, with the private key in `key_path`: the signature covers update_statement()
// of the three. The outcome holds the version record's "RIzured校验" (the file's SHA-256,
// hex) and "RIzured签名" (the Ed25519 signature, base64).
Outcome<QJsonObject> sign_update(const QString &file_path, const QString &version, const QString &file_name,
                                 const QString &key_path);
