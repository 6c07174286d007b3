#pragma once
// The file work of publishing: digests, copies that replace a site file only once whole,
// and what an earlier run left in the site. Blocking; one thread.

#include "app/outcome.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QString>

struct FileFacts {
    qint64 size = 0;
    QString sha256;       // lower-case hex
    bool copied = false;  // place_file wrote the target anew
};

// Size and SHA-256 of the file at `path`.
Outcome<FileFacts> file_facts(const QString &path);

// Copies `source` to `target` unless `target` already holds the same bytes (known by
// `target_sha256`, the digest the site recorded for it). The copy replaces the target only
// once complete. The facts are those of the bytes now at `target`.
Outcome<FileFacts> place_file(const QString &source, const QString &target, const QString &target_sha256);

// Replaces the file at `path` with `content`, whole or not at all.
Outcome<void> save_file(const QString &path, const QByteArray &content);

// The JSON object in the file at `path`; empty when it is missing or holds none.
QJsonObject read_json_object(const QString &path);

// The records of the catalogue at `path` by case-folded .pak name; none when it is missing.
QHash<QString, QJsonObject> previous_records(const QString &path);

// "<folder>/<main category>/<subcategory>/<the record's file_key value>".
QString relative_path(const QString &folder, const QJsonObject &record, const QString &file_key);
