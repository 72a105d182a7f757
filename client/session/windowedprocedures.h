#pragma once

#include "client/session/sessionprocedures.h"
#include "client/transfer/transferhost.h"

#include <memory>

class GetDataWorker;
class SessionClient;

// The windowed client's transfers, self-update and Mission Packs: the FTP and zip components
// of the main window (xftp, xzip), status lines through WriteStatus, waits that let window
// events run so that keep-alives and the progress display keep going.
class WindowedProcedures : public SessionProcedures, public TransferHost, public TransferWatch {
public:
    explicit WindowedProcedures(SessionClient& session);
    ~WindowedProcedures() override;

    // SessionProcedures
    bool uploadTransactLog(const QString& logPath, bool removeSent) override;
    void autoUpdateClient() override;
    bool processMissionPack(const QString& packName) override;
    void abortTransfers() override;
    void resumeTransfers() override;

    // TransferHost
    void writeStatus(const QString& text) override;
    Variant variant() const override;
    FtpClient& ftp() override;
    ZipComponent& zip() override;
    QString programFolder() const override;
    FtpTlsSettings ftpTls() const override;
    void sleepMs(int ms) override;
    void pumpEvents() override;
    TransferWatch* transferWatch() override;

    // TransferWatch
    void setPulse(bool on) override;
    bool ftpDone() const override;
    void clearFtpDone() override;

private:
    SessionClient& m_session;
    std::unique_ptr<FtpClient> m_xftp;
    std::unique_ptr<ZipComponent> m_xzip;
    std::unique_ptr<GetDataWorker> m_getData;
};
