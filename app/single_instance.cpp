#include "app/single_instance.h"

#include "app/logging.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr int kAnswerMs = 2000;
}

SingleInstance::SingleInstance(const QString &lock_path, QObject *parent)
    : QObject(parent)
    , lock(lock_path)
    // The name follows the lock's path, so each account (and each test) has its own.
    , socket_name(QStringLiteral("zorbel-skins-")
                  + QString::fromLatin1(
                      QCryptographicHash::hash(lock_path.toUtf8(), QCryptographicHash::Sha256).toHex().left(24)))
{
    // Held for the whole run: only a lock whose process is gone counts as stale, never an old one.
    lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    if (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError) {
            // No lock can be made here (an unwritable folder): run alone, unguarded,
            // rather than never start.
            log_warning(QStringLiteral("无法创建单实例锁文件，继续运行"));
            return true;
        }
        QLocalSocket other;
        other.connectToServer(socket_name);
        if (other.waitForConnected(kAnswerMs)) {
            other.write("show\n");
            other.waitForBytesWritten(kAnswerMs);
            other.disconnectFromServer();
        }
        return false;
    }
    // The lock is ours: a socket left by a crashed instance is stale.
    QLocalServer::removeServer(socket_name);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
        }
        emit activation_requested();
    });
    if (!server->listen(socket_name))
        log_warning(QStringLiteral("无法监听本地套接字，第二次启动时不能唤起窗口: ") + server->errorString());
    return true;
}
