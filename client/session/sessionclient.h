#pragma once

#include "client/foundation/prompter.h"
#include "client/foundation/repeatcollapser.h"
#include "client/session/commanddispatcher.h"
#include "client/session/messagequeues.h"
#include "client/session/sessionnetwork.h"
#include "client/session/sessionsocket.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QStringList>

class Clock;
class Dialler;
class SessionHost;
class SessionProcedures;

// The windowed client's side of the session with the Dockmere. It joins four parts: the
// network (dialling and retry), the socket and its watch, the message queues, and the command
// dispatcher; the main window's timers drive them through the tick methods.
class SessionClient : public QObject {
    Q_OBJECT
public:
    using ProgramStarter = CommandDispatcher::ProgramStarter;

    SessionClient(SessionHost* host, Dialler* dialler, QObject* parent = nullptr);
    ~SessionClient() override;

    // An OK box through the running program's prompter (none in tests that set none).
    static void inform(const QString& text, Prompter::Icon icon);

    void setProcedures(SessionProcedures* procedures);
    SessionProcedures& procedures() const;
    void setClock(const Clock* clock);
    void setProgramStarter(ProgramStarter starter);
    const Clock& clock() const;

    // Network part of StartClient, and of Reconnect (which first closes the socket).
    void StartNetwork();
    void Reconnect();
    bool DialConnection();
    void HangUpConnection();
    void chooseRetry(const QString& minutes);

    // Queues one outgoing message (site ID and code already in it, no terminator).
    void SendCommand(const QString& message);
    // Queues the site ID followed by code and argument ("E11", "E300412").
    void sendCode(const QString& codeAndArgument);
    // Queues one incoming message.
    void spoolrequest(const QString& message);
    void DispatchCommand(const QString& message);
    // Sends the registration at once, ahead of the queue. False with the reason in *error.
    bool sendRegistration(QString* error);
    // Closes the socket, hangs up what this client dialled and unloads the windows.
    void endSession(bool unloadNoticeFirst);
    void closeSocket();
    // The run ends: the counts of collapsed and dropped lines still due go to the log.
    void writePendingSummaries();

    // Keep-alives are due (a transfer or mission runs) or not.
    void setPulse(bool on);

    // The main window's timers.
    void dispatchTick();    // spltimer, 4 ms
    void sendTick();        // clientspltimer, 750 ms
    void socketWatchTick(); // socktimer, 250 ms
    void pulseTick();       // tmrPulse, 1000 ms
    void retryTick();       // tmrRetrySec, 1000 ms
    // Whether each tick has something to do; while it has not, its timer sleeps.
    bool dispatchDue() const;
    bool sendDue() const;
    bool pulseDue() const;
    bool socketWatchDue() const;
    bool retryDue() const;

    // The socket's error event, with the Windows error number of the failure.
    void socketError(int errorNumber, const QString& description);

    bool networkReady() const;
    bool sendReady() const;
    bool inBusy() const;
    bool reconnectPending() const;
    int reconnectTry() const;
    const RetrySchedule& retrySchedule() const;
    QStringList pendingOutgoing() const;
    QStringList pendingIncoming() const;
    QAbstractSocket::SocketState socketState() const;

signals:
    // What the ticks have to do may have changed (see the ...Due methods).
    void timerWorkChanged();

private:
    void networkPart(bool fromReconnect);
    void onConnected();
    void onSendFailed(const QString& message, const QString& error);
    void reconnectOrQuit();
    void connectionStatus(const QString& text);

    SessionHost* m_host;
    SessionNetwork m_network;
    SessionSocket* m_socket;
    MessageQueues m_queues;
    const Clock* m_clock;
    RepeatCollapser m_connectionLines;
    CommandDispatcher m_dispatcher;
};
