#include "sample_data.h"

#include <QColor>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
#include <QRandomGenerator>
#include <QSaveFile>

#include <vector>

namespace {

struct CoverShape {
    int width;
    int height;
    const char *format;  // nullptr: the record has no cover
};

// Several aspect ratios, so that the program's centre crop shows on every side.
const CoverShape CARD_PNG{512, 370, "png"};
const CoverShape WIDE_JPG{800, 450, "jpg"};
const CoverShape SQUARE_PNG{600, 600, "png"};
const CoverShape TALL_JPG{420, 640, "jpg"};
const CoverShape PANORAMA_JPG{1200, 300, "jpg"};
const CoverShape TINY_PNG{64, 48, "png"};
const CoverShape NO_COVER{0, 0, nullptr};

enum class Kind {
    Normal,
    Paid,             // "pak_original" holds a purchase hint; no files
    NoSigKey,         // the record lacks "sig_original"; the program never shows it
    NoSubcategory,    // the record lacks "subcategory"; no files
    ChineseFileName,  // the files are named after the skin, to exercise non-ASCII queries
};

struct SampleSkin {
    const char *main_category;
    const char *subcategory;
    const char *name;
    QJsonValue main_rank;  // Undefined: key left out
    QJsonValue sub_rank;
    QJsonValue skin_id;
    double pak_mib;
    CoverShape cover;
    Kind kind;
};

const QJsonValue ABSENT(QJsonValue::Undefined);
const QJsonValue NULL_VALUE(QJsonValue::Null);

// The array order is deliberately not the display order: the first main category in the
// array has no rank at all, ranks are spread over a category's skins, one category is
// negative, and ids come unsorted, absent, null or as decimal text.
std::vector<SampleSkin> sample_skins()
{
    using K = Kind;
    return {
        {"道具", "灯笼", "灯笼·琥珀", ABSENT, 2, 3, 1.5, CARD_PNG, K::Normal},
        {"道具", "工具", "铁锹·旧木", ABSENT, ABSENT, ABSENT, 1.0, WIDE_JPG, K::Normal},
        {"道具", "灯笼", "灯笼·幽蓝", ABSENT, 2, 7, 2.0, SQUARE_PNG, K::Normal},
        {"道具", "背包", "背包·皮革", ABSENT, 3, 5, 3.0, TALL_JPG, K::Normal},
        {"道具", "工具", "鱼竿·竹节", ABSENT, NULL_VALUE, 2, 1.2, PANORAMA_JPG, K::Normal},
        {"道具", "背包", "背包·帆布", ABSENT, 3, ABSENT, 2.2, CARD_PNG, K::Normal},
        {"道具", "工具", "望远镜·黄铜", ABSENT, ABSENT, 9, 1.8, NO_COVER, K::Normal},
        {"道具", "灯笼", "灯笼·红福", ABSENT, 2, 1, 1.1, WIDE_JPG, K::Normal},
        {"节日限定", "春节", "船长·舞狮", 12, 9, 20, 6.0, WIDE_JPG, K::ChineseFileName},
        {"节日限定", "春节", "船长·金龙", ABSENT, 9, 30, 0, CARD_PNG, K::Paid},
        {"节日限定", "万圣节", "医生·南瓜", ABSENT, 7, 4, 4.5, SQUARE_PNG, K::Normal},
        {"节日限定", "圣诞节", "船员·雪人", 12, 8, 1, 3.5, TALL_JPG, K::Normal},
        {"节日限定", "春节", "厨师·年夜饭", ABSENT, ABSENT, 10, 2.8, CARD_PNG, K::Normal},
        {"节日限定", "万圣节", "工程师·骷髅", ABSENT, 7, 6, 25.0, PANORAMA_JPG, K::Normal},
        {"节日限定", "圣诞节", "背包·礼物", ABSENT, 8, QStringLiteral("15"), 1.6, WIDE_JPG, K::Normal},
        {"节日限定", "圣诞节", "船长·圣诞帽", 12, 8, 3, 2.0, SQUARE_PNG, K::Normal},
        {"船员皮肤", "船长", "船长·北极星", 10, 5, 30, 4.0, CARD_PNG, K::Normal},
        {"船员皮肤", "工程师", "工程师·齿轮", 10, 3, 2, 3.2, WIDE_JPG, K::Normal},
        {"船员皮肤", "船长", "船长·铁锚", 10, 5, 12, 2.4, SQUARE_PNG, K::Normal},
        {"船员皮肤", "厨师", "厨师·炖锅", 10, ABSENT, 7, 1.4, TALL_JPG, K::Normal},
        {"船员皮肤", "医生", "医生·药箱", 10, 4, 3, 2.6, CARD_PNG, K::Normal},
        {"船员皮肤", "船长", "船长·暴风雪", 10, 5, ABSENT, 5.5, PANORAMA_JPG, K::Normal},
        {"船员皮肤", "工程师", "工程师·蒸汽", 10, 3, 8, 48.0, CARD_PNG, K::Normal},
        {"船员皮肤", "经典", "船员·经典蓝", 10, 1, 2, 1.1, WIDE_JPG, K::Normal},
        {"船员皮肤", "医生", "医生·黑鸦", 10, 4, 9, 3.8, SQUARE_PNG, K::Normal},
        {"船员皮肤", "厨师", "厨师·白围裙", 10, ABSENT, 1, 1.3, CARD_PNG, K::Normal},
        {"船员皮肤", "工程师", "工程师·铜管", 10, 3, 5, 2.1, TALL_JPG, K::NoSigKey},
        {"船员皮肤", "经典", "船员·经典红", 10, 1, 4, 1.0, CARD_PNG, K::Normal},
        {"船员皮肤", "船长", "船长·暗礁", 10, 5, 7, 3.0, WIDE_JPG, K::Normal},
        {"武器", "步枪", "步枪·雪原", 8, 6, 11, 7.5, WIDE_JPG, K::Normal},
        {"武器", "手枪", "手枪·银纹", 8, 2, 3, 1.7, SQUARE_PNG, K::Normal},
        {"武器", "近战", "斧头·冰刃", 5, 4, 8, 2.9, CARD_PNG, K::Normal},
        {"武器", "步枪", "步枪·黄铜", 8, 6, 4, 3.3, PANORAMA_JPG, K::Normal},
        {"武器", "经典", "步枪·经典", 8, ABSENT, 2, 1.9, CARD_PNG, K::Normal},
        {"武器", "近战", "砍刀·血月", 8, 4, 13, 4.2, TALL_JPG, K::Normal},
        {"武器", "手枪", "手枪·骨雕", 8, 2, 6, 1.5, CARD_PNG, K::Normal},
        {"武器", "步枪", "步枪·夜色", 8, 6, ABSENT, 2.7, SQUARE_PNG, K::Normal},
        {"武器", "近战", "长矛·极光", 8, 4, 2, 3.6, WIDE_JPG, K::Normal},
        {"武器", "经典", "手枪·经典", 8, ABSENT, 1, 1.2, CARD_PNG, K::Normal},
        {"武器", "近战", "匕首·寒霜", 8, 4, 10, 1.0, SQUARE_PNG, K::Normal},
        {"实验区", "测试", "测试·大文件", -1, 0, 1, 100.0, CARD_PNG, K::Normal},
        {"实验区", "测试", "测试·小封面", -1, 0, 2, 1.0, TINY_PNG, K::Normal},
        {"实验区", nullptr, "测试·无子分类", -1, ABSENT, ABSENT, 1.0, NO_COVER, K::NoSubcategory},
    };
}

const char INSTRUCTIONS[] = R"(<h2>欢迎使用 Dread Hunger 皮肤管理器</h2>
<p>这是演示服务器提供的皮肤目录，仅供试用。</p>
<p>1. 先启动游戏，再点击上方的“检测目录”，程序会找到游戏的安装目录。</p>
<p>2. 选择一个主分类，再选择子分类（或“全部”）浏览皮肤。</p>
<p>3. 点击卡片上的“安装”即可下载皮肤；已安装的皮肤点击“卸载”即可删除。</p>
<p>4. 安装或卸载后重新进入游戏即可生效。</p>
)";

// Only the first few MiB of a skin file carry a pattern; the rest is a hole, which keeps
// first-start generation quick and the disk use small while sizes stay realistic.
constexpr qint64 PATTERNED_BYTES = 4 * 1024 * 1024;
constexpr int PATTERN_BLOCK = 8192;

QString write_skin_file(const QString &path, qint64 size, quint32 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    // Byte i of block b is (i + b * 131 + seed * 17) mod 256: every block starts elsewhere in
    // the byte cycle, so a misplaced or repeated block shows. Each block is a window into
    // one counting sequence, which spares a loop per byte.
    static const QByteArray counting = [] {
        QByteArray bytes(PATTERN_BLOCK + 256, Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i & 0xff);
        return bytes;
    }();
    const qint64 patterned = qMin(size, PATTERNED_BYTES);
    for (qint64 offset = 0; offset < patterned; offset += PATTERN_BLOCK) {
        const quint32 start = (quint32(offset / PATTERN_BLOCK) * 131 + seed * 17) & 0xff;
        const qint64 length = qMin<qint64>(PATTERN_BLOCK, patterned - offset);
        if (file.write(counting.constData() + start, length) != length)
            return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    }
    if (!file.resize(size))
        return QStringLiteral("cannot size %1: %2").arg(path, file.errorString());
    return {};
}

QString draw_cover(const QString &path, const CoverShape &shape, const QString &name, int index)
{
    QImage image(shape.width, shape.height, QImage::Format_RGB32);
    QRandomGenerator random(quint32(index) + 1);
    const int hue = int(random.bounded(360));
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);

    QLinearGradient gradient(0, 0, shape.width, shape.height);
    gradient.setColorAt(0, QColor::fromHsv(hue, 150, 235));
    gradient.setColorAt(1, QColor::fromHsv((hue + 70) % 360, 200, 110));
    painter.fillRect(image.rect(), gradient);

    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        painter.setBrush(QColor(255, 255, 255, 30 + int(random.bounded(50))));
        const int diameter = 20 + int(random.bounded(qMax(1, qMin(shape.width, shape.height) / 2)));
        painter.drawEllipse(int(random.bounded(shape.width)) - diameter / 2,
                            int(random.bounded(shape.height)) - diameter / 2, diameter, diameter);
    }
    const double cx = shape.width / 2.0, cy = shape.height / 2.0, r = qMin(shape.width, shape.height) / 3.0;
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawPolygon(QPolygonF({{cx, cy - r}, {cx + r, cy}, {cx, cy + r}, {cx - r, cy}}));

    // A frame at the very edge: whatever the program crops away is missing from it.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 160), qMax(1, shape.height / 60)));
    painter.drawRect(image.rect().adjusted(2, 2, -3, -3));

    QFont font;
    font.setFamilies({QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setBold(true);
    font.setPixelSize(qMax(8, qMin(shape.height / 7, shape.width / 8)));
    painter.setFont(font);
    const QRect text_area = image.rect().adjusted(8, 8, -8, -8);
    painter.setPen(QColor(0, 0, 0, 140));
    painter.drawText(text_area.translated(2, 2), Qt::AlignCenter | Qt::TextWordWrap, name);
    painter.setPen(Qt::white);
    painter.drawText(text_area, Qt::AlignCenter | Qt::TextWordWrap, name);

    font.setBold(false);
    font.setPixelSize(qMax(8, shape.height / 18));
    painter.setFont(font);
    painter.drawText(image.rect().adjusted(8, 8, -8, -8), Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("%1×%2").arg(shape.width).arg(shape.height));
    painter.end();

    if (!image.save(path, shape.format, 85))
        return QStringLiteral("cannot write %1").arg(path);
    return {};
}

QString make_folder(const QString &path)
{
    return QDir().mkpath(path) ? QString() : QStringLiteral("cannot create %1").arg(path);
}

QString write_text(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return {};
}

// A size a little above the whole MiB count, so that no file is a multiple of the
// program's piece size.
qint64 pak_size(double mib, int index)
{
    return qint64(mib * 1024 * 1024) + (index * 4099) % 8192 + 1;
}

// Signature files: some fit in one 8 KiB piece, some need several.
qint64 sig_size(int index)
{
    return 300 + (index * 977) % 20000;
}

// The catalogue's promise about a skin file: its size and SHA-256, which the program checks.
QString publish_checks(QJsonObject &record, const QString &kind, const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    record.insert(kind + QStringLiteral("_size"), double(file.size()));
    record.insert(kind + QStringLiteral("_sha256"), QString::fromLatin1(hash.result().toHex()));
    return {};
}

}  // namespace

QString catalog_path(const QString &data_dir)
{
    return QDir(data_dir).filePath(QStringLiteral("catalog.json"));
}
QString instructions_path(const QString &data_dir)
{
    return QDir(data_dir).filePath(QStringLiteral("instructions.html"));
}
QString covers_dir(const QString &data_dir)
{
    return QDir(data_dir).filePath(QStringLiteral("covers"));
}
QString skins_dir(const QString &data_dir)
{
    return QDir(data_dir).filePath(QStringLiteral("skins"));
}
QString program_files_dir(const QString &data_dir)
{
    return QDir(data_dir).filePath(QStringLiteral("files"));
}

QString ensure_sample_catalog(const QString &data_dir, bool *generated)
{
    if (generated)
        *generated = false;
    if (QFile::exists(catalog_path(data_dir)))
        return {};

    QString error = make_folder(program_files_dir(data_dir));
    if (error.isEmpty())
        error = write_text(instructions_path(data_dir), QByteArray(INSTRUCTIONS));

    QJsonArray catalog;
    const std::vector<SampleSkin> skins = sample_skins();
    for (int index = 0; index < int(skins.size()) && error.isEmpty(); ++index) {
        const SampleSkin &skin = skins[size_t(index)];
        const int number = index + 1;
        const QString main_category = QString::fromUtf8(skin.main_category);
        const QString subcategory = QString::fromUtf8(skin.subcategory);
        const QString name = QString::fromUtf8(skin.name);
        const QString stem = skin.kind == Kind::ChineseFileName
                                 ? name
                                 : QStringLiteral("zorbel_%1").arg(number, 3, 10, QLatin1Char('0'));

        QJsonObject record{{"name", name}, {"MainCategory", main_category}};
        if (skin.subcategory)
            record.insert(QStringLiteral("subcategory"), subcategory);
        if (!skin.main_rank.isUndefined())
            record.insert(QStringLiteral("MainCategory_ranking_id"), skin.main_rank);
        if (!skin.sub_rank.isUndefined())
            record.insert(QStringLiteral("subcategory_ranking_id"), skin.sub_rank);
        if (!skin.skin_id.isUndefined())
            record.insert(QStringLiteral("skin_id"), skin.skin_id);
        record.insert(QStringLiteral("pak_original"),
                      skin.kind == Kind::Paid ? QStringLiteral("请联系管理员购买") : stem + QStringLiteral(".pak"));
        if (skin.kind != Kind::NoSigKey)
            record.insert(QStringLiteral("sig_original"), stem + QStringLiteral(".sig"));

        const QString relative = main_category + QLatin1Char('/') + subcategory;
        if (skin.cover.format && skin.subcategory) {
            const QString cover = QStringLiteral("cover_%1.%2")
                                      .arg(number, 3, 10, QLatin1Char('0'))
                                      .arg(QLatin1String(skin.cover.format));
            record.insert(QStringLiteral("cover"), cover);
            const QString folder = QDir(covers_dir(data_dir)).filePath(relative);
            error = make_folder(folder);
            if (error.isEmpty())
                error = draw_cover(QDir(folder).filePath(cover), skin.cover, name, index);
        }
        if (error.isEmpty()
            && (skin.kind == Kind::Normal || skin.kind == Kind::ChineseFileName || skin.kind == Kind::NoSigKey)) {
            const QString folder = QDir(skins_dir(data_dir)).filePath(relative);
            error = make_folder(folder);
            const QString pak = QDir(folder).filePath(stem + QStringLiteral(".pak"));
            const QString sig = QDir(folder).filePath(stem + QStringLiteral(".sig"));
            if (error.isEmpty())
                error = write_skin_file(pak, pak_size(skin.pak_mib, number), quint32(number));
            if (error.isEmpty())
                error = publish_checks(record, QStringLiteral("pak"), pak);
            if (error.isEmpty() && skin.kind != Kind::NoSigKey)
                error = write_skin_file(sig, sig_size(number), quint32(number) + 1000);
            if (error.isEmpty() && skin.kind != Kind::NoSigKey)
                error = publish_checks(record, QStringLiteral("sig"), sig);
        }
        catalog.append(record);
    }

    if (error.isEmpty())
        error = write_text(catalog_path(data_dir), QJsonDocument(catalog).toJson(QJsonDocument::Indented));
    if (generated)
        *generated = error.isEmpty();
    return error;
}

QString make_fake_game(const QString &root)
{
    const QDir game(root);
    const QString paks = game.filePath(QStringLiteral("DreadHunger/Content/Paks"));
    QString error = make_folder(paks);
    if (error.isEmpty())
        error = make_folder(game.filePath(QStringLiteral("DreadHunger/Binaries/Win64")));
    if (error.isEmpty())
        error = write_text(QDir(paks).filePath(QStringLiteral("DreadHunger-WindowsNoEditor.pak")),
                           QByteArray("fake game archive for trying skin installs\n"));
    return error;
}
