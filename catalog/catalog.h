#pragma once
// Widget-free catalogue logic: category ranking, and the filtering and sorting of the
// skins of a selection. MainWindow only calls these.
//
// The catalogue comes from a loosely typed server, so every value is judged the same
// forgiving way: an absent key, null, false, 0, "" and an empty array or object all
// count as "nothing" (rank 0, no name). Anything else that does not fit fails the whole
// operation with an error text.

#include "app/outcome.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// Subcategory names per main category, keeping the order in which main categories
// were first inserted.
using SubcategoryMap = QList<QPair<QString, QStringList>>;

// The subcategory list of a main category, or nullptr when it has none.
const QStringList *find_subcategories(const SubcategoryMap &map, const QString &main_category);

// Parses a whole response body. Any JSON value is accepted at the top level (also a
// bare number or text, which Qt's document parser refuses). Invalid JSON fails with the
// parser's message.
Outcome<QJsonValue> parse_json_value(const QByteArray &body);

struct Categories {
    QStringList main_categories;   // display order
    SubcategoryMap subcategories;  // display order within each main category
};
using CategoryRanking = Outcome<Categories>;

// Derives the category lists from the catalogue (an array of skin records).
// A category's rank is the largest "MainCategory_ranking_id" among its records; a
// subcategory's rank is held per main category + "_" + subcategory, set when the
// subcategory first appears under that main category and raised afterwards. Both lists
// are ordered by descending rank, ties keeping the order of first appearance.
// Ranks are compared as they come (true counts 1, as in the sort): any other rank that
// is not a JSON number fails. A record without main category adds nothing and is not
// read further.
CategoryRanking rank_categories(const QJsonValue &catalogue);

// Whether a record belongs to a selection: with a subcategory chosen (set and not empty),
// the records of that subcategory under every main category; otherwise the records of
// `main_category`. A record without the key does not belong.
bool in_selection(const QJsonObject &record, const QString &main_category, const std::optional<QString> &subcategory);

using SkinSelection = Outcome<QVector<QJsonObject>>;

// The records of a selection in display order. A non-empty `subcategory` keeps the
// records of that subcategory under every main category; otherwise the records of
// `main_category` are kept. Sorted by descending integer value of the main-category
// rank, then the subcategory rank, then "skin_id"; equal records keep array order.
// An id's integer value drops a number's fraction and accepts decimal text ("12").
SkinSelection select_skins(const QJsonArray &catalogue, const QString &main_category,
                           const std::optional<QString> &subcategory);
