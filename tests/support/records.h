#pragma once
// Records as the server and the queue hold them: catalogue records, download tasks (made
// the way a card makes them), and cover images.

#include "download/task_record.h"
#include "support/test_server.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QCryptographicHash>
#include <QImage>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVector>

// A catalogue record with the five keys a card needs ("name", "MainCategory",
// "subcategory", "pak_original" = name.pak, "sig_original" = name.sig), the skin id
// (left out when undefined) and a cover (left out when empty).
inline QJsonObject skin_record(const QString &name, const QString &main = QStringLiteral("M"),
                               const QString &sub = QStringLiteral("S"), const QJsonValue &skin_id = 0,
                               const QString &cover = QString())
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

// `record` with the ranks of its main category and subcategory (a rank left out when
// undefined).
inline QJsonObject with_ranks(QJsonObject record, const QJsonValue &main_rank,
                              const QJsonValue &sub_rank = QJsonValue::Undefined)
{
    if (!main_rank.isUndefined())
        record.insert(QStringLiteral("MainCategory_ranking_id"), main_rank);
    if (!sub_rank.isUndefined())
        record.insert(QStringLiteral("subcategory_ranking_id"), sub_rank);
    return record;
}

// The task a card hands the queue for `record`.
inline DownloadTask task_of(const QJsonObject &record, const QString &game_dir)
{
    return make_download_task(record.value(QStringLiteral("name")).toString(), record.toVariantMap(), game_dir);
}

// The same task with more keys in its skin record (the catalogue's sizes and hashes).
inline DownloadTask with_keys(const DownloadTask &task, const QVariantMap &keys)
{
    QVariantMap record = task_skin_data(task);
    for (auto it = keys.begin(); it != keys.end(); ++it)
        record.insert(it.key(), it.value());
    return make_download_task(task_skin_id(task), record, task_game_dir(task));
}

inline QString sha256_hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

// The four keys of a catalogue that publishes both files' sizes and hashes.
inline QVariantMap published(const QByteArray &pak, const QByteArray &sig)
{
    return {{"pak_size", pak.size()},
            {"sig_size", sig.size()},
            {"pak_sha256", sha256_hex(pak)},
            {"sig_sha256", sha256_hex(sig)}};
}

// The "name" of each record, in order.
inline QStringList names_of(const QVector<QJsonObject> &records)
{
    QStringList names;
    for (const QJsonObject &record : records)
        names << record.value(QStringLiteral("name")).toString();
    return names;
}

// An image of one colour, and `image` encoded as PNG, as a cover endpoint sends it.
inline QImage solid_image(int width, int height, const QColor &colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

inline QByteArray png_bytes(const QImage &image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

// A cover endpoint's answer of `image`.
inline TestReply png_reply(const QImage &image)
{
    TestReply reply = TestReply::text(png_bytes(image));
    reply.content_type = "image/png";
    return reply;
}
