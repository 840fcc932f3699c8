#pragma once
// One dialog per user: the first start holds a lock file and listens on a
// local socket; a later start finds the lock taken, asks the first one over
// the socket to come to the front, and exits.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace tellerdesk {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `key` names the lock file (in the temporary folder) and the socket.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);

    // True when this process is the first: it now holds the lock and listens.
    // False when another instance runs; it has been asked to come forward.
    bool claim();

signals:
    void activationRequested();

private:
    QString key_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

// The key for the current user: "Tellerdesk-<uid>".
QString instance_key();

}  // namespace tellerdesk
