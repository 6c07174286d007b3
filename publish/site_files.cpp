#include "publish/site_files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

constexpr qint64 kBlockBytes = 1024 * 1024;

Failure copy_failure(const QString &source, const QString &target, const QFile &in, const QSaveFile &out)
{
    return Failure{
        QStringLiteral("cannot copy %1 to %2: %3 %4").arg(source, target, in.errorString(), out.errorString())};
}

}  // namespace

Outcome<FileFacts> file_facts(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{path + QStringLiteral(": ") + file.errorString()};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return Failure{path + QStringLiteral(": ") + file.errorString()};
    FileFacts facts;
    facts.size = file.size();
    facts.sha256 = QString::fromLatin1(hash.result().toHex());
    return facts;
}

Outcome<FileFacts> place_file(const QString &source, const QString &target, const QString &target_sha256)
{
    const Outcome<FileFacts> known = file_facts(source);
    if (!known.ok())
        return known;
    if (!target_sha256.isEmpty() && target_sha256 == known->sha256 && QFileInfo(target).size() == known->size)
        return known;

    QFile in(source);
    QSaveFile out(target);
    if (!QDir().mkpath(QFileInfo(target).path()) || !in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return copy_failure(source, target, in, out);
    // Hashed as copied: the record describes the bytes players get, even if the source changed meanwhile.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    FileFacts facts;
    while (!in.atEnd()) {
        const QByteArray block = in.read(kBlockBytes);
        if (block.isEmpty() || out.write(block) != block.size())
            return copy_failure(source, target, in, out);
        hash.addData(block);
        facts.size += block.size();
    }
    if (!out.commit())
        return Failure{QStringLiteral("cannot write %1: %2").arg(target, out.errorString())};
    facts.sha256 = QString::fromLatin1(hash.result().toHex());
    facts.copied = true;
    return facts;
}

Outcome<void> save_file(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return Failure{QStringLiteral("cannot write %1: %2").arg(path, file.errorString())};
    return {};
}

QJsonObject read_json_object(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

QHash<QString, QJsonObject> previous_records(const QString &path)
{
    QHash<QString, QJsonObject> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    for (const QJsonValue &value : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject record = value.toObject();
        records.insert(record.value(QStringLiteral("pak_original")).toString().toCaseFolded(), record);
    }
    return records;
}

QString relative_path(const QString &folder, const QJsonObject &record, const QString &file_key)
{
    return folder + QLatin1Char('/') + record.value(QStringLiteral("MainCategory")).toString() + QLatin1Char('/')
           + record.value(QStringLiteral("subcategory")).toString() + QLatin1Char('/')
           + record.value(file_key).toString();
}
