#include "support/records.h"

#include <QBuffer>
#include <QImage>

QJsonObject skin_record(const QString &name, const QString &main, const QString &sub, const QJsonValue &skin_id,
                        const QString &cover)
{
    QJsonObject record;
    record.insert(QStringLiteral("name"), name);
    record.insert(QStringLiteral("MainCategory"), main);
    record.insert(QStringLiteral("subcategory"), sub);
    record.insert(QStringLiteral("pak_original"), name + QStringLiteral(".pak"));
    record.insert(QStringLiteral("sig_original"), name + QStringLiteral(".sig"));
    if (!skin_id.isUndefined())
        record.insert(QStringLiteral("skin_id"), skin_id);
    if (!cover.isEmpty())
        record.insert(QStringLiteral("cover"), cover);
    return record;
}

QJsonObject with_ranks(QJsonObject record, const QJsonValue &main_rank, const QJsonValue &sub_rank)
{
    if (!main_rank.isUndefined())
        record.insert(QStringLiteral("MainCategory_ranking_id"), main_rank);
    if (!sub_rank.isUndefined())
        record.insert(QStringLiteral("subcategory_ranking_id"), sub_rank);
    return record;
}

DownloadTask task_of(const QJsonObject &record, const QString &game_dir)
{
    return make_download_task(record.value(QStringLiteral("name")).toString(), record.toVariantMap(), game_dir);
}

QStringList names_of(const QVector<QJsonObject> &records)
{
    QStringList names;
    for (const QJsonObject &record : records)
        names << record.value(QStringLiteral("name")).toString();
    return names;
}

QImage solid_image(int width, int height, const QColor &colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QByteArray png_bytes(const QImage &image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}
