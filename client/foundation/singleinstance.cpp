#include "client/foundation/singleinstance.h"

#include "client/foundation/paths.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace {
const QByteArray activateRequest = "activate\n";

// A copy that holds the lock but listens a moment later: worth another try.
bool notListeningYet(QLocalSocket::LocalSocketError error) {
    return error == QLocalSocket::ServerNotFoundError ||
           error == QLocalSocket::ConnectionRefusedError;
}
} // namespace

SingleInstance::SingleInstance(const QString& programName, const QString& programFolder,
                               QObject* parent)
    : QObject(parent), m_lock(Paths::join(programFolder, programName + QStringLiteral(".lock"))),
      m_address(Paths::join(programFolder, programName + QStringLiteral(".channel")), programName) {
}

SingleInstance::~SingleInstance() {
    // The server removes its socket through the address, which needs the folder still open.
    delete m_server;
}

bool SingleInstance::takeLock() {
    return m_lock.tryLock() != InstanceLock::State::HeldElsewhere;
}

bool SingleInstance::listen() {
    if (m_server)
        return true;
    if (!m_lock.isHeld())
        return false;
    // Only the holder of the lock gets here: a socket still there was left by a copy that
    // ended without removing it.
    const QString address = m_address.forListening();
    QLocalServer::removeServer(address);
    auto* server = new QLocalServer(this);
    if (!server->listen(address) || !m_address.publish()) {
        delete server;
        return false;
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

bool SingleInstance::activatePrevious(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        const QString address = m_address.forConnecting();
        if (!address.isEmpty()) {
            socket.connectToServer(address);
            if (socket.waitForConnected(int(deadline.remainingTime())))
                break;
            const QLocalSocket::LocalSocketError error = socket.error();
            socket.abort();
            if (!notListeningYet(error))
                return false;
        }
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    // The running copy may be busy and answer late: wait, within the bound, until it has taken
    // the request. On Windows the channel is a pipe without a buffer, so a request still unread
    // when this copy ends would be lost there. Past the bound this copy ends all the same.
    socket.write(activateRequest);
    if (socket.waitForBytesWritten(int(deadline.remainingTime()))) {
        while (!socket.canReadLine() && socket.waitForReadyRead(int(deadline.remainingTime()))) {
        }
    }
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::isRunning() {
    if (m_lock.isHeld())
        return false;
    const bool elsewhere = m_lock.tryLock() == InstanceLock::State::HeldElsewhere;
    m_lock.release();
    return elsewhere;
}

bool SingleInstance::isAnswering(int timeoutMs) const {
    const QString address = m_address.forConnecting();
    if (address.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(address);
    const bool connected = socket.waitForConnected(timeoutMs);
    socket.abort();
    return connected;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onRequest(socket); });
        // A request sent while this copy was busy is already waiting.
        if (socket->bytesAvailable() > 0)
            onRequest(socket);
    }
}

void SingleInstance::onRequest(QLocalSocket* socket) {
    const QByteArray request = socket->readAll();
    if (!request.contains("activate"))
        return;
    socket->write("ok\n");
    socket->flush();
    emit activationRequested();
}
