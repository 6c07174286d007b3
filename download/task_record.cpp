#include "download/task_record.h"

namespace {
const QString kSkinId = QStringLiteral("skin_id");
const QString kSkinData = QStringLiteral("skin_data");
const QString kGameDir = QStringLiteral("game_dir");
}  // namespace

DownloadTask make_download_task(const QString &skin_id, const QVariantMap &skin_data, const QString &game_dir)
{
    QVariantMap task;
    task.insert(kSkinId, skin_id);
    task.insert(kSkinData, skin_data);
    task.insert(kGameDir, game_dir);
    return std::make_shared<const QVariantMap>(std::move(task));
}

QString task_skin_id(const DownloadTask &task)
{
    return task->value(kSkinId).toString();
}

QVariantMap task_skin_data(const DownloadTask &task)
{
    return task->value(kSkinData).toMap();
}

QString task_skin_name(const DownloadTask &task)
{
    return task_skin_data(task).value(QStringLiteral("name")).toString();
}

QString task_game_dir(const DownloadTask &task)
{
    return task->value(kGameDir).toString();
}
