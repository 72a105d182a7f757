#pragma once

#include "client/foundation/protocol/wireformat.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>

class QTcpSocket;
class SessionHost;

// The session's connection to the server and its watch: connects, frames messages out and in,
// turns socket errors into the notice window, and connects again when the server closed the
// connection or an error asks for it (checked by the socket timer).
class SessionSocket : public QObject {
    Q_OBJECT
public:
    explicit SessionSocket(SessionHost* host, QObject* parent = nullptr);

    void connectTo(const QString& server, quint16 port);
    void close();
    // Sends one message now. False with the reason in *error when it could not go out.
    // shown: the message as the debug logs show it (empty: as sent).
    bool send(const QString& message, QString* error, const QString& shown = QString());

    // The socket's error event, with the Windows error number of the failure.
    void socketError(int errorNumber, const QString& description);
    // socktimer: connects again when the server closed the connection or an error asked for it.
    void watchTick();

    // watchTick has a connection to build again.
    bool watchDue() const;
    bool reconnectPending() const;
    int reconnectTry() const;
    QAbstractSocket::SocketState state() const;

signals:
    void connected();
    void messageReceived(const QString& message);
    // Everything written so far has gone out.
    void sendFinished();
    // watchTick has work now (watchDue).
    void watchNeeded();

private:
    void connectAgain();
    void onConnected();
    void onReadyRead();
    void onBytesWritten();
    void onErrorOccurred(QAbstractSocket::SocketError error);

    SessionHost* m_host;
    QTcpSocket* m_socket;
    QString m_server;
    quint16 m_port = 0;
    WireFramer m_framer;
    bool m_peerClosed = false; // the server closed the connection (state 8)
    bool m_reconnectPending = false;
    int m_reconnectTry = 0;
};
