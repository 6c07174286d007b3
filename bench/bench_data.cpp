#include "bench_data.h"

#include "download/sha256.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QVector>

namespace {
const QStringList kMainCategories = {
    QStringLiteral("猎人"),   QStringLiteral("航海家"), QStringLiteral("厨师"), QStringLiteral("医生"),
    QStringLiteral("工程师"), QStringLiteral("木匠"),   QStringLiteral("牧师"), QStringLiteral("海军陆战队"),
    QStringLiteral("武器"),   QStringLiteral("工具"),   QStringLiteral("服装"), QStringLiteral("其他"),
};
}  // namespace

CatalogueFacts write_catalogue(const QString &path, int records, int cover_count)
{
    QRandomGenerator random(20240521);  // the same catalogue on every run
    // Main category i gets a share proportional to 1/(i+1): one large, many small.
    QVector<double> weights;
    double total_weight = 0;
    for (int i = 0; i < kMainCategories.size(); ++i) {
        weights.append(1.0 / (i + 1));
        total_weight += weights.last();
    }
    QVector<int> counts(kMainCategories.size(), 0);

    QJsonArray catalogue;
    for (int n = 0; n < records; ++n) {
        double pick = random.generateDouble() * total_weight;
        int main = 0;
        while (main < weights.size() - 1 && pick > weights.at(main)) {
            pick -= weights.at(main);
            ++main;
        }
        ++counts[main];
        const int sub = random.bounded(8);
        QJsonObject record;
        record.insert(QStringLiteral("name"), QStringLiteral("皮肤 %1").arg(n + 1));
        record.insert(QStringLiteral("MainCategory"), kMainCategories.at(main));
        record.insert(QStringLiteral("subcategory"), kMainCategories.at(main) + QStringLiteral("系列%1").arg(sub + 1));
        record.insert(QStringLiteral("MainCategory_ranking_id"), 100 - main * 7);
        record.insert(QStringLiteral("subcategory_ranking_id"), random.bounded(50));
        record.insert(QStringLiteral("skin_id"), int(random.bounded(100000)));
        record.insert(QStringLiteral("pak_original"), QStringLiteral("skin_%1.pak").arg(n + 1));
        record.insert(QStringLiteral("sig_original"), QStringLiteral("skin_%1.sig").arg(n + 1));
        record.insert(QStringLiteral("cover"), QStringLiteral("cover_%1.jpg").arg(n % cover_count + 1));
        record.insert(QStringLiteral("author"), QStringLiteral("作者%1").arg(random.bounded(300)));
        record.insert(QStringLiteral("update_time"), QStringLiteral("2024-05-%1 12:00:00").arg(random.bounded(1, 29)));
        catalogue.append(record);
    }

    CatalogueFacts facts;
    facts.records = records;
    facts.main_categories = kMainCategories.size();
    for (int i = 0; i < counts.size(); ++i) {
        if (counts.at(i) > facts.largest_count) {
            facts.largest_count = counts.at(i);
            facts.largest_category = kMainCategories.at(i);
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(QJsonDocument(catalogue).toJson(QJsonDocument::Compact)) < 0)
        return CatalogueFacts();
    return facts;
}

bool write_covers(const QString &dir, int count)
{
    for (int i = 1; i <= count; ++i) {
        QImage image(800, 520, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, 800, 520);
        gradient.setColorAt(0, QColor::fromHsv((i * 47) % 360, 180, 220));
        gradient.setColorAt(1, QColor::fromHsv((i * 47 + 120) % 360, 200, 90));
        painter.fillRect(image.rect(), gradient);
        painter.setPen(Qt::white);
        painter.setFont(QFont(QStringLiteral("Microsoft YaHei"), 60));
        painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("封面 %1").arg(i));
        painter.end();
        if (!image.save(QDir(dir).filePath(QStringLiteral("cover_%1.jpg").arg(i)), "JPEG", 90))
            return false;
    }
    return true;
}

QJsonObject skin_record(const QString &name, const QString &stem)
{
    QJsonObject record;
    record.insert(QStringLiteral("name"), name);
    record.insert(QStringLiteral("MainCategory"), QStringLiteral("猎人"));
    record.insert(QStringLiteral("subcategory"), QStringLiteral("猎人系列1"));
    record.insert(QStringLiteral("MainCategory_ranking_id"), 100);
    record.insert(QStringLiteral("subcategory_ranking_id"), 10);
    record.insert(QStringLiteral("skin_id"), 1);
    record.insert(QStringLiteral("pak_original"), stem + QStringLiteral(".pak"));
    record.insert(QStringLiteral("sig_original"), stem + QStringLiteral(".sig"));
    record.insert(QStringLiteral("cover"), QStringLiteral("cover_1.jpg"));
    return record;
}

QJsonObject verified_record(const QJsonObject &record, const QString &dir, const QString &stem)
{
    QJsonObject verified = record;
    for (const QString &kind : {QStringLiteral("pak"), QStringLiteral("sig")}) {
        QFile file(QDir(dir).filePath(stem + QLatin1Char('.') + kind));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        Sha256 hash;
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (qint64 read; (read = file.read(chunk.data(), chunk.size())) > 0;)
            hash.add(chunk.constData(), read);
        verified.insert(kind + QStringLiteral("_size"), double(file.size()));
        verified.insert(kind + QStringLiteral("_sha256"), QString::fromLatin1(hash.take_digest().toHex()));
    }
    return verified;
}
