#pragma once
// What the card area needs from catalogue records: which ones can become a card, which
// belong to the selection, and how they split into pages.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// The keys a record needs to be shown as a card, in the order they are checked.
const QStringList &required_skin_fields();

// The first required key the record lacks (presence, not value), or an empty text.
QString first_missing_field(const QJsonObject &skin_data);

// The skin's identity for downloads: its "name" as text.
QString skin_name(const QJsonObject &skin_data);

// The records of the selection, in their order: by subcategory when one is chosen
// (set and not empty), otherwise by main category. A record without the key, or with
// no main category chosen, does not match.
QVector<QJsonObject> records_of_selection(const QVector<QJsonObject> &skins, const std::optional<QString> &category,
                                          const std::optional<QString> &subcategory);

// The records that have every required key, in order.
QVector<QJsonObject> complete_records(const QVector<QJsonObject> &records);

// The number of pages needed for `count` records (the ceiling of the quotient).
int page_count(int count, int items_per_page);

// "第 N 页 / 共 M 页" for the 0-based `page`.
QString page_label_text(int page, int total_pages);
