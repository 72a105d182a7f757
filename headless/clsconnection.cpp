#include "headless/clsconnection.h"

#include "client/foundation/statuswriter.h"
#include "headless/linebound.h"

#include <QTcpSocket>

#include <cstdio>

clsConnection::clsConnection(const QString& host, qint32 port, const QString& siteId,
                             const QString& sitePassword, StatusWriter& status, QObject* parent)
    : QObject(parent), m_ClientSocket(new QTcpSocket(this)), m_host(host), m_port(port),
      m_siteId(siteId), m_sitePassword(sitePassword), m_status(status),
      m_lineBoundSeconds(LineBound::DefaultSeconds) {
    // A burst of any size then waits in the system's buffers, not in the client's memory.
    m_ClientSocket->setReadBufferSize(Wire::ReadChunkBytes);
    connect(m_ClientSocket, &QTcpSocket::connected, this, &clsConnection::onConnected);
    connect(m_ClientSocket, &QTcpSocket::readyRead, this, &clsConnection::onReadyRead);
    connect(m_ClientSocket, &QTcpSocket::disconnected, this, &clsConnection::onClosed);
    connect(m_ClientSocket, &QTcpSocket::errorOccurred, this, &clsConnection::onError);
}

clsConnection::~clsConnection() = default;

bool clsConnection::Connected() const {
    return m_connected;
}

void clsConnection::setLineBoundSeconds(int seconds) {
    m_lineBoundSeconds = seconds;
}

void clsConnection::setIdleProbes(bool on) {
    if (m_lineBound && m_ClientSocket->state() == QAbstractSocket::ConnectedState)
        setLineBound(on);
}

void clsConnection::setLineBound(bool probes) {
    QString error;
    m_lineBound =
        LineBound::set(m_ClientSocket->socketDescriptor(), m_lineBoundSeconds, probes, &error);
    if (!m_lineBound)
        m_status.writeStatus(QStringLiteral("No bound on a silent line: ") + error);
}

void clsConnection::Connect() {
    if (m_port < 1 || m_port > 65535 || m_host.isEmpty()) {
        end(QStringLiteral("Cannot connect to \"%1\" port %2").arg(m_host).arg(m_port));
        return;
    }
    m_ClientSocket->connectToHost(m_host, quint16(m_port));
}

void clsConnection::SendData(const QString& text) {
    if (m_ClientSocket->state() != QAbstractSocket::ConnectedState)
        return;
    m_ClientSocket->write(Wire::frame(text));
    m_ClientSocket->flush();
}

void clsConnection::Disconnect() {
    m_ClientSocket->flush();
    m_ClientSocket->disconnectFromHost();
    if (m_ClientSocket->state() != QAbstractSocket::UnconnectedState)
        m_ClientSocket->waitForDisconnected(2000);
    m_connected = false;
}

void clsConnection::onConnected() {
    m_status.writeStatus(QStringLiteral("Connected to the Dockmere"));
    m_status.writeStatus(QStringLiteral("Registering ") + m_siteId +
                         QStringLiteral(" with the Dockmere"));
    const QByteArray registration = Wire::frame(m_siteId + QStringLiteral("E01") + m_sitePassword);
    if (m_ClientSocket->write(registration) != registration.size()) {
        m_status.writeStatus(QStringLiteral("Error during wsClient_connect Error=") +
                             m_ClientSocket->errorString());
        m_connected = false;
        return;
    }
    m_ClientSocket->flush();
    setLineBound(true);
}

void clsConnection::onReadyRead() {
    // A long mission run inside a dispatch lets events run, and the socket does not signal
    // again for what it buffered meanwhile: keep reading until nothing is left.
    while (m_connected && m_ClientSocket->bytesAvailable() > 0) {
        const QStringList messages = m_framer.feed(m_ClientSocket->read(Wire::ReadChunkBytes));
        for (const QString& problem : m_framer.takeProblems())
            m_status.writeStatus(problem);
        for (const QString& message : messages) {
            if (!m_connected)
                break;
            emit messageArrived(message);
        }
    }
}

void clsConnection::onClosed() {
    m_connected = false;
}

void clsConnection::onError() {
    if (m_ClientSocket->error() == QAbstractSocket::RemoteHostClosedError) {
        m_connected = false;
        return;
    }
    if (m_lineBound && m_ClientSocket->error() == QAbstractSocket::SocketTimeoutError) {
        end(QStringLiteral("The line to the Dockmere carried nothing for %1 seconds; the "
                           "session is lost")
                .arg(m_lineBoundSeconds));
        return;
    }
    end(QStringLiteral("Connection error: ") + m_ClientSocket->errorString());
}

void clsConnection::end(const QString& why) {
    // Nothing else would end the run: say why where the technician looks.
    m_status.writeStatus(why);
    std::fprintf(stderr, "vanelet: %s\n", why.toLocal8Bit().constData());
    m_connected = false;
}
