#include "client/foundation/singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace {
const QByteArray activateRequest = "activate\n";
}

SingleInstance::SingleInstance(const QString& programName, const QString& programFolder,
                               QObject* parent)
    : QObject(parent) {
    QString folder = QDir::cleanPath(QDir::fromNativeSeparators(programFolder));
#ifdef Q_OS_WIN
    folder = folder.toLower();
#endif
    const QByteArray hash =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    m_channel = programName + QLatin1Char('-') + QString::fromLatin1(hash);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::channelName() const {
    return m_channel;
}

bool SingleInstance::activatePrevious(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_channel);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // Someone holds the channel, so an earlier instance runs. It may be busy and answer late:
    // wait, within the bound, until it has taken the request. On Windows the channel is a pipe
    // without a buffer, so a request still unread when this instance ends would be lost there.
    // Past the bound this instance ends all the same.
    const QDeadlineTimer deadline(timeoutMs);
    socket.write(activateRequest);
    if (socket.waitForBytesWritten(int(deadline.remainingTime()))) {
        while (!socket.canReadLine() && socket.waitForReadyRead(int(deadline.remainingTime()))) {
        }
    }
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::isAnswering(int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(m_channel);
    const bool connected = socket.waitForConnected(timeoutMs);
    socket.abort();
    return connected;
}

bool SingleInstance::listen() {
    if (m_server)
        return true;
    // QLocalServer::listen() does not fail while another instance listens (a Unix socket file
    // is replaced, a Windows pipe name is shared), so the look for a live instance decides, and
    // copies started at the same moment take their turns at it.
    QLockFile turn(QDir(QDir::tempPath()).filePath(m_channel + QStringLiteral(".lock")));
    turn.tryLock(5000); // a turn held longer belongs to a hung copy: go on without it
    if (isAnswering(500))
        return false;
    // A channel left behind by a program that crashed: nobody answered it, so take it over.
    QLocalServer::removeServer(m_channel);
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_channel)) {
        delete server;
        return false;
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onRequest(socket); });
        // A request sent while this instance was busy is already waiting.
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
