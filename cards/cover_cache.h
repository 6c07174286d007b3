#pragma once
// Where a skin's cover comes from, where its copy is kept on disk, and which images are
// decoded at all. The card, the maintenance actions and the publisher use these, so a
// cached cover is always found by the name it was stored under, and a published cover
// always decodes.

#include "app/gui_requests.h"

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QString>

// IMAGE_DOWNLOAD_API + "?MainCategory=<main>&subcategory=<sub>&cover=<cover>", the three
// values inserted as they stand in the record. Empty when the record lacks a cover, a
// main category or a subcategory (such a skin has no cover to fetch).
QString cover_url(const QJsonObject &skin_data);

// The cache file of a cover address: CACHE_DIR joined with the lower-case hex MD5 of
// the address's UTF-8 bytes. Only the digest names the file, never the server's data.
QString cover_cache_path(const QString &url);

// The largest cover the program decodes, in pixels per side and in bytes of the file. A
// larger image is not decoded: its pixels alone would take a quarter of a gigabyte or
// more, however small the file that announces them.
constexpr int MAX_COVER_SIDE = 8192;
constexpr qint64 MAX_COVER_BYTES = COVER_LIMITS.body_bytes;

// The image in `bytes`, or a null image when it does not decode or its header announces
// a side longer than MAX_COVER_SIDE.
QImage decode_cover(const QByteArray &bytes);
