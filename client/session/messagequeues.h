#pragma once

#include "client/foundation/protocol/unknowncommands.h"
#include "client/session/boundedqueue.h"

#include <QString>
#include <QStringList>

#include <functional>

class Clock;
class SessionSocket;

// The session's two message queues and the pace of their timers: outgoing messages go out one
// at a time once the last one has left (clientspltimer), incoming ones are dispatched one at a
// time (spltimer), and a keep-alive joins the outgoing queue each second while one is due
// (tmrPulse). Both queues are bounded, and unknown commands beyond the first few of a window
// never enter: a server that streams junk costs a few summary lines, not the memory.
class MessageQueues {
public:
    // What the queues hand on: a received message to the dispatcher, and a message the socket
    // refused (with the reason) to the session, which connects again.
    using Dispatch = std::function<void(const QString& message)>;
    using SendFailed = std::function<void(const QString& message, const QString& error)>;

    MessageQueues(SessionSocket& socket, Dispatch dispatch, SendFailed sendFailed);
    // The clock of the summary lines' windows.
    void setClock(const Clock* clock);

    // Queues one outgoing message (site ID and code already in it, no terminator).
    void SendCommand(const QString& message);
    // Queues one incoming message.
    void spoolrequest(const QString& message);
    // The socket has sent everything written to it: the next message may go.
    void markSendReady();

    void dispatchTick(); // spltimer, 4 ms
    void sendTick();     // clientspltimer, 750 ms
    void pulseTick();    // tmrPulse, 1000 ms

    bool sendReady() const;
    bool inBusy() const;
    // A received message waits for dispatchTick.
    bool incomingWaiting() const;
    // sendTick has a message to send, or to hold back while the connection is rebuilt.
    bool sendDue() const;
    QStringList pendingOutgoing() const;
    QStringList pendingIncoming() const;
    // The counts of ignored and dropped messages still unsaid (the session ends).
    void writePendingSummaries();

private:
    SessionSocket& m_socket;
    Dispatch m_dispatch;
    SendFailed m_sendFailed;
    BoundedQueue m_outQueue{QStringLiteral("outgoing")};
    BoundedQueue m_inQueue{QStringLiteral("incoming")};
    UnknownCommands m_unknown;
    bool m_sendReady = false;
    bool m_inBusy = false;
};
