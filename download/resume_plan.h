#pragma once
// When a skin file's transfer ends early, the rest is asked for again with a range
// request, a few times, after growing pauses. This decides what may be tried next and
// whether a server's answer really continues the file; the worker does the asking.

#include <QByteArray>

class ResumePlan {
public:
    static constexpr int kAttempts = 3;

    // What to do with the answer to a request for the rest of the file.
    enum class Answer {
        Continue,  // 206 with exactly the missing bytes, and a body as long: append them
        Restart,   // a 200, or a 206 for other bytes: start the file over
    };

    // The wait before the next request for the rest (1 s, 2 s, 4 s), or -1 when every
    // attempt has been used. Counts the attempt.
    int next_pause_ms();
    // True the first time only: a file is started over at most once.
    bool take_restart();

    // Judges an answer to "Range: bytes=<received>-" for a file of `expected` bytes, given
    // its Content-Range and Content-Length (a null array when the answer had none).
    static Answer judge(int status, const QByteArray &content_range, const QByteArray &content_length, qint64 received,
                        qint64 expected);

private:
    int attempts_used = 0;
    bool restarted = false;
};
