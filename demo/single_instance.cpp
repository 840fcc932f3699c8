#include "demo/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>

namespace tellerdesk {

namespace {
constexpr int kConnectTimeoutMs = 1000;  // waiting for the first instance to answer
constexpr const char* kActivate = "activate\n";
}  // namespace

QString instance_key() {
    return QStringLiteral("Tellerdesk-%1").arg(::getuid());
}

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            emit activationRequested();
        }
    });
}

bool SingleInstance::claim() {
    lock_ = std::make_unique<QLockFile>(QDir::temp().filePath(key_ + ".lock"));
    lock_->setStaleLockTime(0);  // a lock whose process died is stale at once
    if (lock_->tryLock(0)) {
        QLocalServer::removeServer(key_);  // a socket left by a crashed run
        server_.listen(key_);
        return true;
    }
    QLocalSocket socket;
    socket.connectToServer(key_);
    if (socket.waitForConnected(kConnectTimeoutMs)) {
        socket.write(kActivate);
        socket.waitForBytesWritten(kConnectTimeoutMs);
        socket.disconnectFromServer();
    }
    return false;
}

}  // namespace tellerdesk
