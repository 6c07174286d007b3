#pragma once
// Signing the program file that the version record offers, so that a program built with
// the matching public key (ZORBEL_UPDATE_PUBLIC_KEY) takes the update.
//
// The private key file holds one line: the base64 of the 32-byte Ed25519 seed. The
// signature of FILE goes beside it as FILE.sig.json, a JSON object with the record's two
// keys "RIzured校验" (SHA-256, hex) and "RIzured签名" (Ed25519, base64); /api1/ serves them
// with the record while the program file and its signature lie in the data folder.

#include <QString>

#include <string>

// Makes a key pair: the private key goes to `key_path` (a new file, readable by its owner
// only), the public key's base64 to `public_key`. Returns an error text, empty on success.
QString make_update_keys(const QString &key_path, QString *public_key);

// Signs `file_path` with the private key in `key_path` and writes `file_path`.sig.json.
// `record_keys` receives the written JSON. Returns an error text, empty on success.
QString sign_update_file(const QString &file_path, const QString &key_path, QString *record_keys);

// The path of the signature beside `file_path`.
QString signature_path(const QString &file_path);

// The signature's keys as JSON members to add to a record (`, "k": "v", "k": "v"`), or
// empty when there is no readable signature beside `file_path`.
std::string signature_members(const QString &file_path);
