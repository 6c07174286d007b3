#include "log_marks.h"

#include "app/logging.h"
#include "measure.h"

#include <QFile>
#include <QMutex>
#include <QVector>

#include <utility>

namespace log_marks {
namespace {

struct Kept {
    qint64 at;
    QString message;
};

QMutex mutex;
QFile *file = nullptr;
QVector<Kept> kept;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const qint64 at = now_ns();
    const QByteArray line =
        format_log_line(type, QString::fromLatin1(context.category ? context.category : "default"), message).toUtf8()
        + '\n';
    QMutexLocker lock(&mutex);
    kept.append({at, message});
    if (file)
        file->write(line);
}

}  // namespace

void install(const QString &path)
{
    QMutexLocker lock(&mutex);
    file = new QFile(path);  // written until the process ends
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        delete file;
        file = nullptr;
    }
    qInstallMessageHandler(handler);
}

void clear()
{
    QMutexLocker lock(&mutex);
    kept.clear();
}

qint64 last_time(bool (*matches)(const QString &message, const QString &arg), const QString &arg)
{
    QMutexLocker lock(&mutex);
    for (int i = kept.size() - 1; i >= 0; --i)
        if (matches(kept.at(i).message, arg))
            return kept.at(i).at;
    return 0;
}

bool contains(const QString &text)
{
    QMutexLocker lock(&mutex);
    for (const Kept &line : std::as_const(kept))
        if (line.message.contains(text))
            return true;
    return false;
}

}  // namespace log_marks
