#pragma once
// The one text an update signature covers. Binding the version, the file name and the
// file's digest together means a signed record cannot be reused for another file, for
// another version number, or to pass an older signed build off as a newer one.

#include <QByteArray>
#include <QString>

// The version record's keys that carry the signed facts.
extern const QString CHECKSUM_KEY;   // "RIzured校验": SHA-256 of the program file, hex
extern const QString SIGNATURE_KEY;  // "RIzured签名": Ed25519 signature of update_statement(), base64

// The UTF-8 bytes
//   "zorbel-skins update\nversion=<version>\nfile=<file_name>\nsha256=<sha256_hex>\n"
// with `sha256_hex` written in lower case. Signer and program both build it here, so they
// cannot disagree about a byte. Neither the version nor the file name may hold a line
// break (the program refuses such names), so that no two triples give the same bytes.
QByteArray update_statement(const QString &version, const QString &file_name, const QByteArray &sha256_hex);
