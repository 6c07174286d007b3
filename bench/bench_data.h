#pragma once
// What the bench server hands out: a generated catalogue, cover images, and the
// records of the skins whose files the run script made.

#include <QJsonObject>
#include <QString>

struct CatalogueFacts {
    int records = 0;
    int main_categories = 0;
    QString largest_category;  // the main category with the most records
    int largest_count = 0;
};

// Writes `records` skin records as one compact JSON array: a dozen main categories of
// very different sizes, several subcategories each, ranks and ids spread out, covers
// taken from the `cover_count` files of write_covers.
CatalogueFacts write_catalogue(const QString &path, int records, int cover_count);

// Writes cover_1.jpg … cover_N.jpg (JPEG, 800 × 520) into `dir`.
bool write_covers(const QString &dir, int count);

// A skin record for the files `stem`.pak and `stem`.sig.
QJsonObject skin_record(const QString &name, const QString &stem);

// The same record with the sizes and SHA-256 of both files in `dir`, as a catalogue that
// has the program verify every file publishes it. Empty when a file cannot be read.
QJsonObject verified_record(const QJsonObject &record, const QString &dir, const QString &stem);
