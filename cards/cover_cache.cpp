#include "cards/cover_cache.h"

#include "app/config.h"
#include "app/endpoints.h"

#include <QCryptographicHash>
#include <QDir>

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
