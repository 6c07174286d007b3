#pragma once
// Turning a text response body into a string.

#include <QByteArray>
#include <QString>

// Decodes `body` by the charset that `content_type` declares (e.g. "text/html;
// charset=gbk"). Without a charset, or with one that is not known, the body is read as
// UTF-8. Bytes that do not decode become U+FFFD; nothing is trimmed.
QString decode_body(const QByteArray &body, const QByteArray &content_type);

// The charset parameter of a Content-Type value, unquoted; empty when there is none.
QByteArray declared_charset(const QByteArray &content_type);
