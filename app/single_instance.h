#pragma once
// One running program per account. Two instances would each install, clean up and
// update in the same folders, and each update's script kills every process of the
// program's name; so a second start brings the first one's window forward and ends.
//
// The lock file decides (it survives a crash: a lock whose process is gone is taken
// over); a local socket beside it only carries the request to come forward.
// GUI thread only.

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `lock_path`: a file in a folder of the account's own (the program uses CACHE_DIR).
    explicit SingleInstance(const QString &lock_path, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one instance (or when no lock can be made at all,
    // so that the program still starts). False when another one holds the lock; it has
    // then been asked to come forward.
    bool claim();

signals:
    // Another start asked this instance to come forward.
    void activation_requested();

private:
    QLockFile lock;
    QString socket_name;
    QLocalServer *server = nullptr;
};
