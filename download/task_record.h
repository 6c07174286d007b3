#pragma once
// The download task record: what a card hands the queue and what the queue, its worker
// and the queue dialog read back. A plain shared map underneath ({"skin_id": the skin's
// name, "skin_data": its catalogue record, "game_dir": the game's root folder}); only
// this file spells those keys. Records are never changed once made, so every holder
// (queue, queue copies, worker) may share one.

#include <QString>
#include <QVariantMap>

#include <memory>

using DownloadTask = std::shared_ptr<const QVariantMap>;

DownloadTask make_download_task(const QString &skin_id, const QVariantMap &skin_data, const QString &game_dir);

// Readers of a record that is not null. The id is what the queue compares (duplicates,
// cancels); the name, the skin record's "name", is what its signals carry. Both hold the
// same text.
QString task_skin_id(const DownloadTask &task);
QVariantMap task_skin_data(const DownloadTask &task);
QString task_skin_name(const DownloadTask &task);
QString task_game_dir(const DownloadTask &task);
