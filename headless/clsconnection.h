#pragma once

#include "client/foundation/protocol/wireformat.h"

#include <QObject>
#include <QString>

class QTcpSocket;
class StatusWriter;

// vanelet's one connection to the server: registers as soon as the socket is up, sends each
// message at once with its terminator, hands every complete message to the dispatcher and
// keeps the Connected flag that the start-up procedure waits on.
class clsConnection : public QObject {
    Q_OBJECT
public:
    clsConnection(const QString& host, qint32 port, const QString& siteId,
                  const QString& sitePassword, StatusWriter& status, QObject* parent = nullptr);
    ~clsConnection() override;

    bool Connected() const;
    void Connect();
    void SendData(const QString& text);
    void Disconnect();

    // How long the line may carry nothing before the run ends (LineBound); tests shorten it.
    void setLineBoundSeconds(int seconds);
    // Off while vanelet works on a Mission Pack: its transfers watch the line themselves, and
    // their bytes may fill the line's queue for longer than the bound. Data waiting for the
    // server's acknowledgement keeps its limit.
    void setIdleProbes(bool on);

signals:
    // One complete message, without its terminator.
    void messageArrived(const QString& message);

private:
    void onConnected();
    void onReadyRead();
    void onClosed();
    void onError();
    void end(const QString& why);
    void setLineBound(bool probes);

    QTcpSocket* m_ClientSocket;
    QString m_host;
    qint32 m_port;
    QString m_siteId;
    QString m_sitePassword;
    StatusWriter& m_status;
    WireFramer m_framer;
    bool m_connected = true;
    int m_lineBoundSeconds;
    bool m_lineBound = false; // set on the connected socket
};
