#pragma once
// Where the demo server keeps the signature of the program file it offers: FILE.sig.json
// beside FILE, a JSON object with the version record's keys "RIzured校验" and "RIzured签名".
// /api1/ serves them with the record.

#include <QJsonObject>
#include <QString>

#include <string>

// The path of the signature beside `file_path`.
QString signature_path(const QString &file_path);

// Writes `record_keys` to signature_path(`file_path`). Returns an error text, empty on success.
QString write_signature(const QString &file_path, const QJsonObject &record_keys);

// The signature's keys as JSON members to add to a record (`, "k": "v", "k": "v"`), or
// empty when there is no readable signature beside `file_path`.
std::string signature_members(const QString &file_path);
