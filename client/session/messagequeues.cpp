#include "client/session/messagequeues.h"

#include "client/foundation/settings.h"
#include "client/foundation/statuslog.h"
#include "client/session/clientstate.h"
#include "client/session/sessionsocket.h"

MessageQueues::MessageQueues(SessionSocket& socket, Dispatch dispatch, SendFailed sendFailed)
    : m_socket(socket), m_dispatch(std::move(dispatch)), m_sendFailed(std::move(sendFailed)) {}

void MessageQueues::setClock(const Clock* clock) {
    m_outQueue.setClock(clock);
    m_inQueue.setClock(clock);
    m_unknown.setClock(clock);
}

namespace {
void writeStatusLines(const QStringList& lines) {
    for (const QString& line : lines) {
        if (!line.isEmpty())
            WriteStatus(line);
    }
}
} // namespace

void MessageQueues::SendCommand(const QString& message) {
    if (m_outQueue.enqueue(message))
        writeStatusLines({m_outQueue.takeDropSummary()});
}

void MessageQueues::spoolrequest(const QString& message) {
    const QString code = message.left(3);
    if (!UnknownCommands::isKnown(code)) {
        QString summary;
        const bool keep = m_unknown.admit(&summary);
        writeStatusLines({summary});
        if (!keep)
            return;
    }
    // The end of the session goes in even when the queue is full.
    const bool sessionEnd = code == QLatin1String("E09") && !m_inQueue.contains(message);
    if (m_inQueue.enqueue(message, sessionEnd))
        writeStatusLines({m_inQueue.takeDropSummary()});
}

void MessageQueues::writePendingSummaries() {
    writeStatusLines({m_unknown.end(), m_inQueue.takeAllDrops(), m_outQueue.takeAllDrops()});
}

void MessageQueues::markSendReady() {
    m_sendReady = true;
}

void MessageQueues::sendTick() {
    if (!m_sendReady || m_outQueue.isEmpty())
        return;
    m_sendReady = false;
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        // The connection is being rebuilt: the message waits for it instead of being lost.
        // The registration that follows the reconnect opens the queue again.
        return;
    }
    const QString message = m_outQueue.dequeue();
    QString error;
    if (!m_socket.send(message, &error))
        m_sendFailed(message, error);
}

void MessageQueues::pulseTick() {
    if (!clientFlags().pulseOn)
        return;
    // One keep-alive waiting is enough: while the connection is down they would pile up and
    // hold back the real answers once it is back.
    const QString keepAlive = clientSettings().siteId + QStringLiteral("E00");
    if (!m_outQueue.contains(keepAlive))
        SendCommand(keepAlive);
}

void MessageQueues::dispatchTick() {
    if (m_inBusy || m_inQueue.isEmpty())
        return;
    m_inBusy = true;
    const QString message = m_inQueue.head();
    // The FTP password reaches the debug logs masked, as the site password does.
    const bool password = message.startsWith(QLatin1String("E21"));
    WriteDebugMessage(QStringLiteral("RECD ") + (password ? QStringLiteral("E21****") : message),
                      false);
    m_dispatch(message);
    m_inQueue.dequeue();
    m_inBusy = false;
}

bool MessageQueues::sendReady() const {
    return m_sendReady;
}

bool MessageQueues::inBusy() const {
    return m_inBusy;
}

bool MessageQueues::incomingWaiting() const {
    return !m_inQueue.isEmpty();
}

bool MessageQueues::sendDue() const {
    return m_sendReady && !m_outQueue.isEmpty();
}

QStringList MessageQueues::pendingOutgoing() const {
    return m_outQueue.messages();
}

QStringList MessageQueues::pendingIncoming() const {
    return m_inQueue.messages();
}
