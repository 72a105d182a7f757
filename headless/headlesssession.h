#pragma once

#include "client/foundation/protocol/unknowncommands.h"

#include <QString>

class clsConnection;
class TransferHost;

// vanelet's answers to the server's commands. Replies leave at once; the Mission Pack runs
// inside the dispatch; E06, E07, E08, E09, E03 and a refused registration end the run.
class HeadlessSession {
public:
    HeadlessSession(clsConnection& connection, TransferHost& host, const QString& siteId,
                    const QString& sessionName);

    void DispatchCommand(const QString& message);
    // The run is over: what is still counted goes to the log.
    void finish();

private:
    void send(const QString& code, const QString& arg = QString());
    void refuse(const QString& text);

    clsConnection& m_connection;
    TransferHost& m_host;
    QString m_siteId;
    QString m_sessionName;
    UnknownCommands m_unknown;
};
