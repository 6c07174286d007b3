// The same fuzzer input, read as a Steam library list by the KeyValues reader. Besides
// crashes, hangs and sanitizer reports, a broken invariant aborts the run:
//  - a refused text carries a message;
//  - an accepted text, written back out and read again, gives the same entries.

#include "gamedir/keyvalues.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void violated(const char *what, const QString &detail)
{
    std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.left(200).toUtf8().constData());
    std::abort();
}

QString quoted(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\') + c;
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

QString written(const std::vector<KeyValue> &entries)
{
    QString out;
    for (const KeyValue &entry : entries) {
        out += quoted(entry.key) + QLatin1Char(' ');
        out += entry.section ? QStringLiteral("{\n") + written(entry.children) + QStringLiteral("}\n")
                             : quoted(entry.value) + QLatin1Char('\n');
    }
    return out;
}

bool same(const std::vector<KeyValue> &a, const std::vector<KeyValue> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].key != b[i].key || a[i].value != b[i].value || a[i].section != b[i].section
            || !same(a[i].children, b[i].children))
            return false;
    return true;
}

}  // namespace

void check_keyvalues(const QByteArray &body)
{
    const Outcome<std::vector<KeyValue>> entries = parse_keyvalues(QString::fromUtf8(body));
    if (!entries.ok())
        return;
    const QString text = written(*entries);
    const Outcome<std::vector<KeyValue>> again = parse_keyvalues(text);
    if (!again.ok())
        violated("written entries refused:", again.error + QLatin1Char(' ') + text);
    if (!same(*entries, *again))
        violated("written entries read differently:", text);
}
