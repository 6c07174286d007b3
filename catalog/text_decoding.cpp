#include "catalog/text_decoding.h"

#include <QList>
#include <QTextCodec>

QByteArray declared_charset(const QByteArray &content_type)
{
    const QList<QByteArray> parts = content_type.split(';');
    for (int i = 1; i < parts.size(); ++i) {
        const QByteArray parameter = parts.at(i).trimmed();
        const int equals = parameter.indexOf('=');
        if (equals < 0 || parameter.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray value = parameter.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return QByteArray();
}

QString decode_body(const QByteArray &body, const QByteArray &content_type)
{
    const QByteArray charset = declared_charset(content_type);
    QTextCodec *codec = charset.isEmpty() ? nullptr : QTextCodec::codecForName(charset);
    if (!codec)
        codec = QTextCodec::codecForName("UTF-8");
    return codec->toUnicode(body.constData(), body.size());
}
