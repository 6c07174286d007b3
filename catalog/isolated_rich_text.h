#pragma once
// Server HTML for a label. Qt's rich-text engine fetches what a text names (<img src>,
// background images, linked and imported style sheets) synchronously, from local paths
// and network shares; on Windows a "\\host\share" path also hands the user's
// credentials to that host. Only data: URLs stay: they carry their content with them.

#include <QFont>
#include <QString>

// `text` itself when Qt would not take it for rich text or it names nothing but data:
// URLs; otherwise the same document written as HTML without those references (such
// images are left out, such backgrounds dropped, style sheets never fetched). `font` is
// the label's own, which the rewritten HTML states as its default.
QString without_external_resources(const QString &text, const QFont &font);
