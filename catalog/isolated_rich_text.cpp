#include "catalog/isolated_rich_text.h"

#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>
#include <QVariant>

namespace {

// Parses HTML without fetching anything but data: URLs, and notes whether it refused any.
class IsolatedDocument : public QTextDocument {
public:
    bool refused = false;

protected:
    QVariant loadResource(int type, const QUrl &name) override
    {
        if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
            return QTextDocument::loadResource(type, name);
        refused = true;
        return QVariant();
    }
};

}  // namespace

QString without_external_resources(const QString &text, const QFont &font)
{
    if (!Qt::mightBeRichText(text))
        return text;
    IsolatedDocument document;
    document.setDefaultFont(font);
    document.setHtml(text);

    // Qt writes a document's resources back in two attributes only, an image's "src" and
    // a "background", each value quoted and escaped. Images are fetched only when the
    // label lays them out, so the parse above cannot have noticed them.
    static const QRegularExpression external_image(QStringLiteral(R"(<img src="(?!data:)[^"]*"[^>]*>)"),
                                                   QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression external_background(QStringLiteral(R"( background="(?!data:)[^"]*")"),
                                                        QRegularExpression::CaseInsensitiveOption);
    QString html = document.toHtml();
    const int written = html.size();
    html.remove(external_image);
    html.remove(external_background);
    if (!document.refused && html.size() == written)
        return text;
    return html;
}
