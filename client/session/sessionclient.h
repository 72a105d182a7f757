#pragma once

#include "client/session/protocol/wireformat.h"
#include "client/session/retryschedule.h"

#include <QAbstractSocket>
#include <QObject>
#include <QQueue>
#include <QString>

#include <functional>

class Clock;
class Dialler;
class QTcpSocket;
class SessionHost;
class SessionProcedures;

// The windowed client's side of the session with the Dockmere: bringing up the network and the
// socket, retrying, the message queues and the command dispatcher. The main window's timers
// drive it through the tick methods.
class SessionClient : public QObject {
    Q_OBJECT
public:
    // Starts a program without waiting for it: (program, argument text). True when started.
    using ProgramStarter = std::function<bool(const QString&, const QString&)>;

    SessionClient(SessionHost* host, Dialler* dialler, QObject* parent = nullptr);
    ~SessionClient() override;

    // Null gives the stand-in that reports the procedures as not available.
    void setProcedures(SessionProcedures* procedures);
    SessionProcedures& procedures() const;
    void setClock(const Clock* clock);
    void setProgramStarter(ProgramStarter starter);

    // Network part of StartClient, and of Reconnect (which first closes the socket).
    void StartNetwork();
    void Reconnect();
    bool DialConnection();
    void HangUpConnection();

    // The retry chooser's OK: "0" ends the client, a number of minutes starts a wait.
    void chooseRetry(const QString& minutes);

    // Queues one outgoing message (site ID and code already in it, no terminator).
    void SendCommand(const QString& message);
    // Queues the site ID followed by code and argument ("E11", "E300412").
    void sendCode(const QString& codeAndArgument);
    // Queues one incoming message.
    void spoolrequest(const QString& message);
    void DispatchCommand(const QString& message);
    void closeSocket();

    // The main window's timers.
    void dispatchTick();    // spltimer, 4 ms
    void sendTick();        // clientspltimer, 750 ms
    void socketWatchTick(); // socktimer, 250 ms
    void pulseTick();       // tmrPulse, 1000 ms
    void retryTick();       // tmrRetrySec, 1000 ms

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

private:
    void networkPart(bool fromReconnect);
    void giveUp(bool fromReconnect);
    void connectSocket();
    bool sendDirect(const QString& message, QString* error);
    bool sendRegistration(QString* error);
    void sendTransactLog();
    void endSession(bool unloadNoticeFirst);
    void onConnected();
    void onReadyRead();
    void onBytesWritten();
    void onErrorOccurred(QAbstractSocket::SocketError error);
    QString timeOfDay() const;

    SessionHost* m_host;
    Dialler* m_dialler;
    SessionProcedures* m_procedures;
    const Clock* m_clock;
    ProgramStarter m_startProgram;
    QTcpSocket* m_socket;
    QString m_remoteHost;
    quint16 m_remotePort = 0;
    WireFramer m_framer;

    QQueue<QString> m_outQueue;
    QQueue<QString> m_inQueue;
    bool m_sendReady = false;
    bool m_inBusy = false;
    bool m_peerClosed = false; // the server closed the connection (state 8)
    bool m_reconnectPending = false;
    int m_reconnectTry = 0;

    bool m_networkReady = false;
    quintptr m_connectionHandle = 0;
    RetrySchedule m_retry;
};
