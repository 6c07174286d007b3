#pragma once
// The version record the update server publishes, and how its version is judged.

#include "app/gui_requests.h"
#include "app/outcome.h"

#include <QJsonObject>
#include <QString>

// The version of this program.
extern const QString CURRENT_VERSION;  // "1.1"

// Keys of the version record.
extern const QString VERSION_KEY;       // "RIzured版本"
extern const QString DOWNLOAD_URL_KEY;  // "RIzured下载地址"

// Versions are compared as texts, character by character (by code point), not as
// numbers: "1.10" and "1.1.1" are newer than "1.1", "1.09" is not.
bool is_newer_version(const QString &latest, const QString &current = CURRENT_VERSION);

// A text value of the record: an absent key or a JSON null reads as empty. Any other
// value that is not a JSON string fails.
Outcome<QString> read_text_value(const QJsonObject &record, const QString &key);

// The version record, or the message that ends the program (the whole user-visible text).
using LatestInfo = Outcome<QJsonObject>;

// One stand-alone GET of `url` (standalone_get(), not through the shared session):
// redirects followed, `timeout_ms` for the whole request, a body of at most
// VERSION_LIMITS.body_bytes. The record must be a JSON object holding both keys.
LatestInfo fetch_latest_info(const QString &url, int timeout_ms = VERSION_LIMITS.time_ms);
