#include "gamedir/keyvalues.h"

namespace {

constexpr int kMaxDepth = 32;

class Reader {
public:
    explicit Reader(const QString &text)
        : text_(text)
    {
        if (text_.startsWith(QChar(0xFEFF)))
            at_ = 1;
    }

    // Entries until the end of the text (depth 0) or the closing brace of a section.
    bool entries(std::vector<KeyValue> *out, int depth)
    {
        for (;;) {
            skip_blank();
            if (at_ == text_.size()) {
                if (depth == 0)
                    return true;
                return fail(QStringLiteral("section not closed at the end"));
            }
            if (text_.at(at_) == QLatin1Char('}')) {
                if (depth == 0)
                    return fail(QStringLiteral("'}' without a section"));
                ++at_;
                return true;
            }
            KeyValue entry;
            if (!word(&entry.key))
                return false;
            skip_blank();
            if (at_ < text_.size() && text_.at(at_) == QLatin1Char('{')) {
                if (depth + 1 > kMaxDepth)
                    return fail(QStringLiteral("sections nested too deeply"));
                ++at_;
                entry.section = true;
                if (!entries(&entry.children, depth + 1))
                    return false;
            } else if (!word(&entry.value)) {
                return false;
            }
            out->push_back(std::move(entry));
        }
    }

    QString error;

private:
    bool fail(const QString &what)
    {
        error = QStringLiteral("%1 (character %2)").arg(what).arg(at_);
        return false;
    }

    void skip_blank()
    {
        while (at_ < text_.size()) {
            if (text_.at(at_).isSpace()) {
                ++at_;
            } else if (text_.midRef(at_, 2) == QLatin1String("//")) {
                while (at_ < text_.size() && text_.at(at_) != QLatin1Char('\n'))
                    ++at_;
            } else {
                return;
            }
        }
    }

    static bool ends_bare_word(QChar c)
    {
        return c.isSpace() || c == QLatin1Char('{') || c == QLatin1Char('}') || c == QLatin1Char('"');
    }

    // A quoted text or a bare word.
    bool word(QString *out)
    {
        if (at_ == text_.size())
            return fail(QStringLiteral("text expected at the end"));
        const QChar first = text_.at(at_);
        if (first == QLatin1Char('{') || first == QLatin1Char('}'))
            return fail(QStringLiteral("text expected, found '%1'").arg(first));
        if (first != QLatin1Char('"')) {
            const int start = at_;
            while (at_ < text_.size() && !ends_bare_word(text_.at(at_)))
                ++at_;
            *out = text_.mid(start, at_ - start);
            return true;
        }
        const int opening = at_++;
        while (at_ < text_.size()) {
            const QChar c = text_.at(at_++);
            if (c == QLatin1Char('"'))
                return true;
            if (c != QLatin1Char('\\') || at_ == text_.size()) {
                out->append(c);
                continue;
            }
            const QChar escaped = text_.at(at_++);
            switch (escaped.unicode()) {
            case '\\':
                out->append(QLatin1Char('\\'));
                break;
            case '"':
                out->append(QLatin1Char('"'));
                break;
            case 'n':
                out->append(QLatin1Char('\n'));
                break;
            case 't':
                out->append(QLatin1Char('\t'));
                break;
            default:  // not an escape: both characters stand
                out->append(c);
                out->append(escaped);
            }
        }
        at_ = opening;
        return fail(QStringLiteral("quoted text not closed"));
    }

    const QString &text_;
    int at_ = 0;
};

}  // namespace

Outcome<std::vector<KeyValue>> parse_keyvalues(const QString &text)
{
    Reader reader(text);
    std::vector<KeyValue> entries;
    if (!reader.entries(&entries, 0))
        return Failure{reader.error};
    return entries;
}

const KeyValue *find_key(const std::vector<KeyValue> &entries, const QString &key)
{
    for (const KeyValue &entry : entries)
        if (entry.key.compare(key, Qt::CaseInsensitive) == 0)
            return &entry;
    return nullptr;
}
