#include "catalog/catalog.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLatin1String>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

const QLatin1String kMainCategory("MainCategory");
const QLatin1String kSubcategory("subcategory");
const QLatin1String kMainRank("MainCategory_ranking_id");
const QLatin1String kSubRank("subcategory_ranking_id");
const QLatin1String kSkinId("skin_id");

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

// A value as it would appear in the catalogue, for error texts.
QString json_text(const QJsonValue &value)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2));
}

QString record_error(int index, const QString &what)
{
    return QStringLiteral("第%1条记录%2").arg(index + 1).arg(what);
}

QString field_error(int index, QLatin1String key, const QString &problem, const QJsonValue &value)
{
    return record_error(index, QStringLiteral("的%1%2: %3").arg(key, problem, json_text(value).left(80)));
}

// A category name: text, or nothing (empty).
Outcome<QString> name_field(const QJsonObject &record, QLatin1String key, int index)
{
    const QJsonValue value = record.value(key);
    if (value.isString())
        return value.toString();
    if (is_nothing(value))
        return QString();
    return Failure{field_error(index, key, QStringLiteral("不是文本"), value)};
}

// A category rank, compared as it comes: nothing is 0, true is 1 (as in the sort), any
// other value must be a number.
Outcome<double> rank_field(const QJsonObject &record, QLatin1String key, int index)
{
    const QJsonValue value = record.value(key);
    if (value.isDouble())
        return value.toDouble();
    if (value.isBool() && value.toBool())
        return 1.0;
    if (is_nothing(value))
        return 0.0;
    return Failure{field_error(index, key, QStringLiteral("不是数字"), value)};
}

// The integer value of a sort id: a number loses its fraction, true is 1, and
// decimal text (surrounding blanks and a sign allowed) is read as a number.
Outcome<double> integer_field(const QJsonObject &record, QLatin1String key, int index)
{
    const QJsonValue value = record.value(key);
    if (is_nothing(value))
        return 0.0;
    switch (value.type()) {
    case QJsonValue::Double:
        return std::trunc(value.toDouble());
    case QJsonValue::Bool:
        return 1.0;
    case QJsonValue::String: {
        const QString text = value.toString().trimmed();
        int start = (text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-'))) ? 1 : 0;
        bool digits = text.size() > start;
        for (int i = start; digits && i < text.size(); ++i)
            digits = text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9');
        if (digits)
            return text.toDouble();
        break;
    }
    default:
        break;
    }
    return Failure{field_error(index, key, QStringLiteral("不是整数"), value)};
}

// Stable: names of equal rank keep their order. `rank_of` takes a name's current index.
template <typename Rank> void sort_by_rank_descending(QStringList &names, Rank rank_of)
{
    QVector<int> order(names.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rank_of(a) > rank_of(b); });
    const QStringList unsorted = names;
    for (int i = 0; i < order.size(); ++i)
        names[i] = unsorted.at(order.at(i));
}

}  // namespace

const QStringList *find_subcategories(const SubcategoryMap &map, const QString &main_category)
{
    for (const auto &entry : map)
        if (entry.first == main_category)
            return &entry.second;
    return nullptr;
}

Outcome<QJsonValue> parse_json_value(const QByteArray &body)
{
    QJsonParseError parse_error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parse_error);
    if (parse_error.error == QJsonParseError::NoError)
        return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());

    // Qt only takes an array or an object at the top level; a lone scalar is still JSON.
    QJsonParseError wrapped_error;
    const QJsonDocument wrapped = QJsonDocument::fromJson('[' + body + ']', &wrapped_error);
    if (wrapped_error.error == QJsonParseError::NoError && wrapped.array().size() == 1)
        return wrapped.array().at(0);

    return Failure{QStringLiteral("%1 (位置 %2)").arg(parse_error.errorString()).arg(parse_error.offset)};
}

CategoryRanking rank_categories(const QJsonValue &catalogue)
{
    if (!catalogue.isArray())
        return Failure{QStringLiteral("皮肤数据不是数组: ") + json_text(catalogue).left(80)};
    Categories result;
    const QJsonArray records = catalogue.toArray();

    // Hashes beside the ordered lists keep every look-up constant-time. A subcategory rank
    // lives in a slot shared by every (main, sub) pair whose joined "main_sub" key is equal.
    struct MainCategory {
        int order;      // index into result.main_categories
        int list = -1;  // index into result.subcategories, once it has one
    };
    struct SubcategoryList {
        QHash<QString, int> slot_of;  // subcategory name -> rank slot
        QVector<int> rank_slots;      // beside the list of names
    };
    QHash<QString, MainCategory> mains;
    QVector<double> main_ranks;       // beside result.main_categories
    QVector<SubcategoryList> lists;   // beside result.subcategories
    QHash<QString, int> slot_of_key;  // joined key -> rank slot
    QVector<double> slot_ranks;

    for (int index = 0; index < records.size(); ++index) {
        const QJsonValue item = records.at(index);
        if (!item.isObject())
            return Failure{record_error(index, QStringLiteral("不是对象: ") + json_text(item).left(80))};
        const QJsonObject record = item.toObject();
        const Outcome<QString> main = name_field(record, kMainCategory, index);
        if (!main.ok())
            return Failure{main.error};
        if (main->isEmpty())  // a record without category adds nothing: the rest of it is not read
            continue;
        const Outcome<QString> sub = name_field(record, kSubcategory, index);
        if (!sub.ok())
            return Failure{sub.error};

        const Outcome<double> main_rank = rank_field(record, kMainRank, index);
        if (!main_rank.ok())
            return Failure{main_rank.error};
        auto known = mains.find(*main);
        if (known == mains.end()) {
            known = mains.insert(*main, MainCategory{result.main_categories.size()});
            result.main_categories.append(*main);
            main_ranks.append(*main_rank);
        } else {
            double &stored = main_ranks[known->order];
            stored = std::max(stored, *main_rank);
        }

        if (sub->isEmpty())
            continue;
        const Outcome<double> sub_rank = rank_field(record, kSubRank, index);
        if (!sub_rank.ok())
            return Failure{sub_rank.error};
        if (known->list < 0) {
            known->list = lists.size();
            lists.append(SubcategoryList());
            result.subcategories.append({*main, QStringList()});
        }
        SubcategoryList &list = lists[known->list];
        const auto seen = list.slot_of.constFind(*sub);
        if (seen != list.slot_of.constEnd()) {
            double &stored = slot_ranks[*seen];
            stored = std::max(stored, *sub_rank);
            continue;
        }
        // First appearance under this main category sets the rank, even when another
        // (main, sub) pair already wrote the same joined key.
        const QString key = *main + QLatin1Char('_') + *sub;
        int slot = slot_of_key.value(key, -1);
        if (slot < 0) {
            slot = slot_ranks.size();
            slot_ranks.append(*sub_rank);
            slot_of_key.insert(key, slot);
        } else {
            slot_ranks[slot] = *sub_rank;
        }
        list.slot_of.insert(*sub, slot);
        list.rank_slots.append(slot);
        result.subcategories[known->list].second.append(*sub);
    }

    sort_by_rank_descending(result.main_categories, [&](int i) { return main_ranks.at(i); });
    for (int i = 0; i < lists.size(); ++i) {
        const QVector<int> &rank_slots = lists.at(i).rank_slots;
        sort_by_rank_descending(result.subcategories[i].second, [&](int j) { return slot_ranks.at(rank_slots.at(j)); });
    }
    return result;
}

bool in_selection(const QJsonObject &record, const QString &main_category, const std::optional<QString> &subcategory)
{
    const bool by_subcategory = subcategory && !subcategory->isEmpty();
    const QJsonValue value = record.value(by_subcategory ? kSubcategory : kMainCategory);
    return value.isString() && value.toString() == (by_subcategory ? *subcategory : main_category);
}

SkinSelection select_skins(const QJsonArray &catalogue, const QString &main_category,
                           const std::optional<QString> &subcategory)
{
    struct Entry {
        double main_rank;
        double sub_rank;
        double skin_id;
        int index;
    };

    QVector<Entry> kept;
    QVector<QJsonObject> records;
    for (int index = 0; index < catalogue.size(); ++index) {
        const QJsonValue item = catalogue.at(index);
        if (!item.isObject())
            return Failure{record_error(index, QStringLiteral("不是对象: ") + json_text(item).left(80))};
        const QJsonObject record = item.toObject();
        if (!in_selection(record, main_category, subcategory))
            continue;
        const Outcome<double> main_rank = integer_field(record, kMainRank, index);
        if (!main_rank.ok())
            return Failure{main_rank.error};
        const Outcome<double> sub_rank = integer_field(record, kSubRank, index);
        if (!sub_rank.ok())
            return Failure{sub_rank.error};
        const Outcome<double> skin_id = integer_field(record, kSkinId, index);
        if (!skin_id.ok())
            return Failure{skin_id.error};
        kept.append(Entry{*main_rank, *sub_rank, *skin_id, records.size()});
        records.append(record);
    }

    // Sort small keys, not the records themselves.
    std::stable_sort(kept.begin(), kept.end(), [](const Entry &a, const Entry &b) {
        if (a.main_rank != b.main_rank)
            return a.main_rank > b.main_rank;
        if (a.sub_rank != b.sub_rank)
            return a.sub_rank > b.sub_rank;
        return a.skin_id > b.skin_id;
    });
    QVector<QJsonObject> skins;
    skins.reserve(kept.size());
    for (const Entry &entry : qAsConst(kept))
        skins.append(records.at(entry.index));
    return skins;
}
