#include "download/resume_plan.h"

int ResumePlan::next_pause_ms()
{
    if (attempts_used >= kAttempts)
        return -1;
    return 1000 << attempts_used++;
}

bool ResumePlan::take_restart()
{
    if (restarted)
        return false;
    restarted = true;
    return true;
}

ResumePlan::Answer ResumePlan::judge(int status, const QByteArray &content_range, const QByteArray &content_length,
                                     qint64 received, qint64 expected)
{
    // "bytes FIRST-LAST/TOTAL"; TOTAL may be "*" when the server does not know it.
    if (status != 206 || !content_range.trimmed().startsWith("bytes "))
        return Answer::Restart;
    const QByteArray spec = content_range.trimmed().mid(6).trimmed();
    const int dash = spec.indexOf('-');
    const int slash = spec.indexOf('/');
    if (dash <= 0 || slash <= dash)
        return Answer::Restart;
    bool first_ok = false;
    bool last_ok = false;
    const qint64 first = spec.left(dash).toLongLong(&first_ok);
    const qint64 last = spec.mid(dash + 1, slash - dash - 1).toLongLong(&last_ok);
    const QByteArray total = spec.mid(slash + 1);
    bool total_ok = true;
    if (total != "*") {
        const qint64 size = total.toLongLong(&total_ok);
        total_ok = total_ok && size == expected;
    }
    if (!first_ok || !last_ok || !total_ok || first != received || last != expected - 1)
        return Answer::Restart;
    // A body shorter than the range it claims would leave a hole that looks like the end.
    if (!content_length.isNull()) {
        bool length_ok = false;
        const qint64 length = content_length.trimmed().toLongLong(&length_ok);
        if (!length_ok || length != last - first + 1)
            return Answer::Restart;
    }
    return Answer::Continue;
}
