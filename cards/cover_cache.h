#pragma once
// Where a skin's cover comes from and where its copy is kept on disk. The card and the
// maintenance actions both use these, so a cached cover is always found by the name it
// was stored under.

#include <QJsonObject>
#include <QString>

// IMAGE_DOWNLOAD_API + "?MainCategory=<main>&subcategory=<sub>&cover=<cover>", the three
// values inserted as they stand in the record. Empty when the record lacks a cover, a
// main category or a subcategory (such a skin has no cover to fetch).
QString cover_url(const QJsonObject &skin_data);

// The cache file of a cover address: CACHE_DIR joined with the lower-case hex MD5 of
// the address's UTF-8 bytes. Only the digest names the file, never the server's data.
QString cover_cache_path(const QString &url);
