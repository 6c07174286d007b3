#pragma once
// What a catalogue record may promise about each of a skin's two files: its size
// ("pak_size", "sig_size") and its SHA-256 ("pak_sha256", "sig_sha256"). Every key is
// optional; a record without them is installed and shown as before.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>

struct FileChecks {
    qint64 size = -1;    // -1 when the record gives none
    QByteArray sha256;   // the 32-byte digest, empty when the record gives none
    bool usable = true;  // false when a key is there but holds no size or digest
};

// `kind` is "pak" or "sig".
FileChecks file_checks(const QVariantMap &skin, const QString &kind);
FileChecks file_checks(const QJsonObject &skin, const QString &kind);
