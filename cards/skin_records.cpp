#include "cards/skin_records.h"

#include "catalog/catalog.h"

const QStringList &required_skin_fields()
{
    static const QStringList fields{QStringLiteral("name"), QStringLiteral("MainCategory"),
                                    QStringLiteral("subcategory"), QStringLiteral("pak_original"),
                                    QStringLiteral("sig_original")};
    return fields;
}

QString first_missing_field(const QJsonObject &skin_data)
{
    for (const QString &field : required_skin_fields()) {
        if (!skin_data.contains(field))
            return field;
    }
    return QString();
}

QString skin_name(const QJsonObject &skin_data)
{
    return skin_data.value(QStringLiteral("name")).toVariant().toString();
}

QVector<QJsonObject> records_of_selection(const QVector<QJsonObject> &skins, const std::optional<QString> &category,
                                          const std::optional<QString> &subcategory)
{
    QVector<QJsonObject> selected;
    const bool by_subcategory = subcategory && !subcategory->isEmpty();
    if (!by_subcategory && !category)
        return selected;
    for (const QJsonObject &record : skins) {
        if (in_selection(record, category.value_or(QString()), subcategory))
            selected.append(record);
    }
    return selected;
}

QVector<QJsonObject> complete_records(const QVector<QJsonObject> &records)
{
    QVector<QJsonObject> complete;
    for (const QJsonObject &record : records) {
        if (first_missing_field(record).isEmpty())
            complete.append(record);
    }
    return complete;
}

int page_count(int count, int items_per_page)
{
    return (count + items_per_page - 1) / items_per_page;
}

QString page_label_text(int page, int total_pages)
{
    return QStringLiteral("第 %1 页 / 共 %2 页").arg(page + 1).arg(total_pages);
}
