#include "cards/cover_cache.h"

#include "app/config.h"
#include "app/endpoints.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QImageReader>

namespace {
// Catalogue values are normally text; a number is taken by its printed form.
QString record_text(const QJsonObject &record, const QString &key)
{
    return record.value(key).toVariant().toString();
}
}  // namespace

QString cover_url(const QJsonObject &skin_data)
{
    const QString cover = record_text(skin_data, QStringLiteral("cover"));
    const QString main_category = record_text(skin_data, QStringLiteral("MainCategory"));
    const QString subcategory = record_text(skin_data, QStringLiteral("subcategory"));
    if (cover.isEmpty() || main_category.isEmpty() || subcategory.isEmpty())
        return QString();
    return IMAGE_DOWNLOAD_API + QStringLiteral("?MainCategory=") + main_category + QStringLiteral("&subcategory=")
           + subcategory + QStringLiteral("&cover=") + cover;
}

QString cover_cache_path(const QString &url)
{
    const QByteArray digest = QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Md5).toHex();
    return QDir(CACHE_DIR).filePath(QString::fromLatin1(digest));
}

QImage decode_cover(const QByteArray &bytes)
{
    if (bytes.size() > MAX_COVER_BYTES)
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > MAX_COVER_SIDE || size.height() > MAX_COVER_SIDE)
        return QImage();
    return reader.read();
}
