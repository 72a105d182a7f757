#pragma once

#include "client/missions/missionpack.h"
#include "client/transfer/transferhost.h"

#include <QStringList>

#include <memory>

class FtpClient;
class ZipComponent;

// A host for the transfer and mission procedures in tests: real FTP and zip components, status
// lines recorded, long pauses skipped. The windowed variant watches its transfers: it sets
// FtpDone from the component's completion and disconnection events, as the main window does.
class TestTransferHost : public TransferHost, public TransferWatch {
public:
    TestTransferHost(const QString& programFolder, const Variant& variant);
    ~TestTransferHost() override;

    static Variant windowed();
    static Variant headless();

    void writeStatus(const QString& text) override;
    Variant variant() const override;
    FtpClient& ftp() override;
    ZipComponent& zip() override;
    QString programFolder() const override;
    FtpTlsSettings ftpTls() const override;
    void sleepMs(int ms) override;
    void pumpEvents() override;
    TransferWatch* transferWatch() override;

    void setPulse(bool on) override;
    bool ftpDone() const override;
    void clearFtpDone() override;

    // Records the data extraction missions handed to it in getDataMissions.
    GetDataRunner getDataRecorder();
    void setFtpTls(const FtpTlsSettings& tls);

    QStringList lines;
    QStringList getDataMissions; // missions handed to the recorder
    int pulseTurns = 0;          // how often the keep-alive was switched on
    int skippedSleepMs = 0;      // pauses not slept

private:
    QString m_folder;
    Variant m_variant;
    FtpTlsSettings m_ftpTls;
    bool m_ftpDone = false;
    std::unique_ptr<FtpClient> m_ftp;
    std::unique_ptr<ZipComponent> m_zip;
};
