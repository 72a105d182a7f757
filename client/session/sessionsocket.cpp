#include "client/session/sessionsocket.h"

#include "client/foundation/protocol/socketnotice.h"
#include "client/foundation/settings.h"
#include "client/foundation/statuslog.h"
#include "client/session/sessionhost.h"

#include <QTcpSocket>

namespace {
// Winsock's text for a send on a socket that is not connected.
const char* const NotConnectedText =
    "Wrong protocol or connection state for the requested transaction or request";
} // namespace

SessionSocket::SessionSocket(SessionHost* host, QObject* parent)
    : QObject(parent), m_host(host), m_socket(new QTcpSocket(this)) {
    // A burst of any size then waits in the system's buffers, not in the client's memory.
    m_socket->setReadBufferSize(Wire::ReadChunkBytes);
    connect(m_socket, &QTcpSocket::connected, this, &SessionSocket::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &SessionSocket::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &SessionSocket::onBytesWritten);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &SessionSocket::onErrorOccurred);
}

void SessionSocket::connectTo(const QString& server, quint16 port) {
    m_server = server;
    m_port = port;
    connectAgain();
}

void SessionSocket::connectAgain() {
    m_framer.reset();
    m_peerClosed = false;
    m_socket->connectToHost(m_server, m_port);
}

void SessionSocket::close() {
    m_peerClosed = false;
    m_socket->abort();
}

bool SessionSocket::send(const QString& message, QString* error, const QString& shown) {
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        *error = QString::fromLatin1(NotConnectedText);
        return false;
    }
    if (m_socket->write(Wire::frame(message)) < 0) {
        *error = m_socket->errorString();
        return false;
    }
    WriteDebugMessage(QStringLiteral("SEND ") + (shown.isEmpty() ? message : shown), true);
    return true;
}

void SessionSocket::onConnected() {
    m_reconnectTry = 0;
    emit connected();
}

void SessionSocket::onReadyRead() {
    while (m_socket->bytesAvailable() > 0) {
        const QStringList messages = m_framer.feed(m_socket->read(Wire::ReadChunkBytes));
        for (const QString& problem : m_framer.takeProblems())
            WriteStatus(problem);
        for (const QString& message : messages)
            emit messageReceived(message);
    }
}

void SessionSocket::onBytesWritten() {
    if (m_socket->bytesToWrite() == 0)
        emit sendFinished();
}

void SessionSocket::onErrorOccurred(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) {
        // The server closed the connection: the socket watch notices it and connects again.
        m_peerClosed = true;
        emit watchNeeded();
        return;
    }
    socketError(SocketNotice::windowsErrorNumber(error), m_socket->errorString());
}

void SessionSocket::socketError(int errorNumber, const QString& description) {
    close();
    ++m_reconnectTry;
    m_host->setCancelEnabled(true);
    const SocketNotice::Notice notice =
        SocketNotice::forError(errorNumber, clientSettings().server, description);
    m_host->setNoticeTexts(QStringLiteral("Trying to reconnect, try ") +
                               QString::number(m_reconnectTry),
                           notice.message);
    if (notice.reconnect) {
        m_reconnectPending = true;
        emit watchNeeded();
    }
    m_host->bringNoticeForward();
}

void SessionSocket::watchTick() {
    if (m_peerClosed) {
        m_host->makeNoticeVisible();
        close();
        connectAgain();
    } else if (m_reconnectPending) {
        m_reconnectPending = false;
        close();
        connectAgain();
    }
}

bool SessionSocket::watchDue() const {
    return m_peerClosed || m_reconnectPending;
}

bool SessionSocket::reconnectPending() const {
    return m_reconnectPending;
}

int SessionSocket::reconnectTry() const {
    return m_reconnectTry;
}

QAbstractSocket::SocketState SessionSocket::state() const {
    return m_socket->state();
}
