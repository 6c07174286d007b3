// libFuzzer target: arbitrary bytes as a catalogue response, through parsing, category
// ranking and the selection of every category the ranking yields; the same bytes also
// go through the Steam library list reader (keyvalues_fuzz.cpp). Besides crashes and
// sanitizer reports, a broken invariant aborts the run so the fuzzer keeps the input:
//  - parsing: a failure carries a message; documents come through as Qt reads them,
//    and what Qt refuses is at most a lone scalar;
//  - ranking: agrees with a plain, unoptimised rendering of the ranking rules (first
//    appearance, largest rank, shared "main_sub" rank keys, stable descending order);
//  - selection: exactly the matching records, ordered by descending integer ranks, and
//    the order is stable (selecting from the result again changes nothing).

#include "catalog/catalog.h"

#include <QJsonDocument>
#include <QMap>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

[[noreturn]] void violated(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

#define EXPECT(condition, detail)                                                                                      \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            violated(#condition, detail);                                                                              \
    } while (0)

QString text_of(const QJsonValue &value)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)).left(200);
}

bool is_nothing(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Undefined:
    case QJsonValue::Null:
        return true;
    case QJsonValue::Bool:
        return !value.toBool();
    case QJsonValue::Double:
        return value.toDouble() == 0;
    case QJsonValue::String:
        return value.toString().isEmpty();
    case QJsonValue::Array:
        return value.toArray().isEmpty();
    case QJsonValue::Object:
        return value.toObject().isEmpty();
    }
    return false;
}

// --- ranking, the rules written out plainly -------------------------------------------

struct Reference {
    bool ok = true;
    QStringList mains;
    QList<QPair<QString, QStringList>> subs;
};

bool name_of(const QJsonObject &record, const char *key, QString *name)
{
    const QJsonValue value = record.value(QLatin1String(key));
    if (value.isString()) {
        *name = value.toString();
        return true;
    }
    name->clear();
    return is_nothing(value);
}

bool rank_of(const QJsonObject &record, const char *key, double *rank)
{
    const QJsonValue value = record.value(QLatin1String(key));
    if (value.isBool() && value.toBool()) {
        *rank = 1;
        return true;
    }
    *rank = value.isDouble() ? value.toDouble() : 0;
    return value.isDouble() || is_nothing(value);
}

void stable_descending(QStringList &names, const std::function<double(const QString &)> &rank)
{
    // Insertion sort: obviously stable, and inputs here are small.
    for (int i = 1; i < names.size(); ++i)
        for (int j = i; j > 0 && rank(names.at(j)) > rank(names.at(j - 1)); --j)
            names.swapItemsAt(j, j - 1);
}

Reference reference_ranking(const QJsonValue &catalogue)
{
    Reference ref;
    if (!catalogue.isArray()) {
        ref.ok = false;
        return ref;
    }
    QMap<QString, double> main_rank;
    QMap<QString, double> sub_rank;  // by main + "_" + sub, shared when the joined texts agree
    for (const QJsonValue &item : catalogue.toArray()) {
        if (!item.isObject()) {
            ref.ok = false;
            return ref;
        }
        const QJsonObject record = item.toObject();
        QString main;
        QString sub;
        double rank = 0;
        if (!name_of(record, "MainCategory", &main)) {
            ref.ok = false;
            return ref;
        }
        if (main.isEmpty())
            continue;
        if (!name_of(record, "subcategory", &sub)) {
            ref.ok = false;
            return ref;
        }
        if (!rank_of(record, "MainCategory_ranking_id", &rank)) {
            ref.ok = false;
            return ref;
        }
        if (!ref.mains.contains(main)) {
            ref.mains.append(main);
            main_rank[main] = rank;
        } else {
            main_rank[main] = std::max(main_rank[main], rank);
        }
        if (sub.isEmpty())
            continue;
        if (!rank_of(record, "subcategory_ranking_id", &rank)) {
            ref.ok = false;
            return ref;
        }
        int list = 0;
        while (list < ref.subs.size() && ref.subs.at(list).first != main)
            ++list;
        if (list == ref.subs.size())
            ref.subs.append({main, QStringList()});
        const QString key = main + QLatin1Char('_') + sub;
        if (!ref.subs[list].second.contains(sub)) {
            ref.subs[list].second.append(sub);
            sub_rank[key] = rank;
        } else {
            sub_rank[key] = std::max(sub_rank.value(key), rank);
        }
    }
    stable_descending(ref.mains, [&](const QString &main) { return main_rank.value(main); });
    for (auto &entry : ref.subs)
        stable_descending(entry.second,
                          [&](const QString &sub) { return sub_rank.value(entry.first + QLatin1Char('_') + sub); });
    return ref;
}

// --- selection ----------------------------------------------------------------------------

bool matches(const QJsonObject &record, const QString &main, const std::optional<QString> &sub)
{
    const bool by_sub = sub && !sub->isEmpty();
    const QJsonValue value = record.value(by_sub ? QLatin1String("subcategory") : QLatin1String("MainCategory"));
    return value.isString() && value.toString() == (by_sub ? *sub : main);
}

// The sort key of a record when all three ids are plain numbers (or nothing).
bool numeric_key(const QJsonObject &record, double key[3])
{
    const char *names[] = {"MainCategory_ranking_id", "subcategory_ranking_id", "skin_id"};
    for (int i = 0; i < 3; ++i) {
        const QJsonValue value = record.value(QLatin1String(names[i]));
        if (is_nothing(value))
            key[i] = 0;
        else if (value.isDouble())
            key[i] = std::trunc(value.toDouble());
        else
            return false;
    }
    return true;
}

void check_selection(const QJsonArray &catalogue, const QString &main, const std::optional<QString> &sub)
{
    const SkinSelection selection = select_skins(catalogue, main, sub);
    if (!selection.ok())
        return;

    // Exactly the matching records, each as often as it occurs.
    QList<QJsonObject> expected;
    for (const QJsonValue &item : catalogue)
        if (item.isObject() && matches(item.toObject(), main, sub))
            expected.append(item.toObject());
    EXPECT(selection.value.size() == expected.size(), main);
    for (const QJsonObject &record : selection.value) {
        const int at = expected.indexOf(record);
        EXPECT(at >= 0, text_of(record));
        expected.removeAt(at);
    }

    for (int i = 1; i < selection.value.size(); ++i) {
        double before[3];
        double after[3];
        if (numeric_key(selection.value.at(i - 1), before) && numeric_key(selection.value.at(i), after))
            EXPECT(!std::lexicographical_compare(before, before + 3, after, after + 3), text_of(selection.value.at(i)));
    }

    QJsonArray again;
    for (const QJsonObject &record : selection.value)
        again.append(record);
    const SkinSelection repeated = select_skins(again, main, sub);
    EXPECT(repeated.ok(), repeated.error);
    EXPECT(repeated.value == selection.value, main);

    // "全部" arrives as no subcategory or as an empty one; both select the same.
    if (!sub) {
        const SkinSelection empty_sub = select_skins(catalogue, main, QString());
        EXPECT(empty_sub.ok() && empty_sub.value == selection.value, main);
    }
}

// Names worth selecting when the ranking refused the catalogue.
QStringList names_in(const QJsonArray &catalogue, const char *key)
{
    QStringList names;
    for (const QJsonValue &item : catalogue) {
        const QJsonValue value = item.toObject().value(QLatin1String(key));
        if (value.isString() && !names.contains(value.toString()) && names.size() < 4)
            names.append(value.toString());
    }
    return names;
}

}  // namespace

void check_keyvalues(const QByteArray &body);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), int(size));
    check_keyvalues(body);
    const Outcome<QJsonValue> parsed = parse_json_value(body);
    if (!parsed.ok())
        return 0;
    const QJsonValue &value = parsed.value;

    // What Qt's document parser takes comes through unchanged; anything else it refuses
    // may only be a lone scalar.
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isNull())
        EXPECT(value == (document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object())),
               text_of(value));
    else
        EXPECT(!value.isArray() && !value.isObject(), text_of(value));

    const CategoryRanking ranking = rank_categories(value);
    const Reference reference = reference_ranking(value);
    EXPECT(ranking.ok() == reference.ok, ranking.error);
    if (!value.isArray())
        return 0;
    const QJsonArray catalogue = value.toArray();

    if (!ranking.ok()) {
        for (const QString &main : names_in(catalogue, "MainCategory"))
            check_selection(catalogue, main, std::nullopt);
        for (const QString &sub : names_in(catalogue, "subcategory"))
            check_selection(catalogue, QString(), sub);
        return 0;
    }

    EXPECT(ranking->main_categories == reference.mains, ranking->main_categories.join('|'));
    EXPECT(ranking->subcategories.size() == reference.subs.size(), QString());
    for (int i = 0; i < reference.subs.size(); ++i) {
        EXPECT(ranking->subcategories.at(i).first == reference.subs.at(i).first, reference.subs.at(i).first);
        EXPECT(ranking->subcategories.at(i).second == reference.subs.at(i).second,
               ranking->subcategories.at(i).second.join('|'));
        const QStringList *found = find_subcategories(ranking->subcategories, reference.subs.at(i).first);
        EXPECT(found && *found == reference.subs.at(i).second, reference.subs.at(i).first);
    }

    for (const QString &main : ranking->main_categories) {
        check_selection(catalogue, main, std::nullopt);
        if (const QStringList *subs = find_subcategories(ranking->subcategories, main))
            for (const QString &sub : *subs)
                check_selection(catalogue, main, sub);
    }
    return 0;
}
