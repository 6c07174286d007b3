#pragma once
// Records as the server and the queue hold them: catalogue records, download tasks (made
// the way a card makes them), and cover images.

#include "download/task_record.h"

#include <QByteArray>
#include <QColor>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVector>

class QImage;

// A catalogue record with the five keys a card needs ("name", "MainCategory",
// "subcategory", "pak_original" = name.pak, "sig_original" = name.sig), the skin id
// (left out when undefined) and a cover (left out when empty).
QJsonObject skin_record(const QString &name, const QString &main = QStringLiteral("M"),
                        const QString &sub = QStringLiteral("S"), const QJsonValue &skin_id = 0,
                        const QString &cover = QString());

// `record` with the ranks of its main category and subcategory (a rank left out when
// undefined).
QJsonObject with_ranks(QJsonObject record, const QJsonValue &main_rank,
                       const QJsonValue &sub_rank = QJsonValue::Undefined);

// The task a card hands the queue for `record`.
DownloadTask task_of(const QJsonObject &record, const QString &game_dir);

// The "name" of each record, in order.
QStringList names_of(const QVector<QJsonObject> &records);

// An image of one colour, and `image` encoded as PNG, as a cover endpoint sends it.
QImage solid_image(int width, int height, const QColor &colour);
QByteArray png_bytes(const QImage &image);
