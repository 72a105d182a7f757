#pragma once

#include <QString>

// The work behind the server's commands that lies outside the session itself: the upload of
// transact.log (E07, E08, E37), the self-update (E10) and the Mission Pack (E30). The dispatcher
// calls these; each reports its own steps and failures through WriteStatus.
class SessionProcedures {
public:
    virtual ~SessionProcedures();

    // Uploads transact.log (at logPath) into the store folder on the FTP server. With
    // removeSent a successful upload also removes from the log what went up, so that lines
    // written meanwhile stay for the next upload. True when the server took the file.
    virtual bool uploadTransactLog(const QString& logPath, bool removeSent) = 0;

    // Update step 1: fetches and unpacks the new client, then sends its own answer ("E11",
    // "E12" or "E28") through SessionClient::sendCode.
    virtual void autoUpdateClient() = 0;

    // Fetches the named pack, runs its missions and returns the results. True when the results
    // went back; the dispatcher then answers "E31", otherwise "E32".
    virtual bool processMissionPack(const QString& packName) = 0;

    // Asks a transfer or archive operation under way to stop (the client is closing).
    virtual void abortTransfers() = 0;
    // Lets transfers run again after abortTransfers (the client starts a new session).
    virtual void resumeTransfers();
};

// Stands in until the transfer, update and mission procedures are built into the client: it
// says so in the status list and never reports success.
class UnavailableProcedures : public SessionProcedures {
public:
    bool uploadTransactLog(const QString& logPath, bool removeSent) override;
    void autoUpdateClient() override;
    bool processMissionPack(const QString& packName) override;
    void abortTransfers() override;
};
