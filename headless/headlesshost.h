#pragma once

#include "client/transfer/transferhost.h"

#include <memory>

class FtpClient;
class ZipComponent;

// The transfer and mission procedures as vanelet runs them: no events handled, transfers end
// when their call returns, passive mode with an active second try.
class HeadlessHost : public TransferHost {
public:
    HeadlessHost(const QString& programFolder, StatusWriter& status);
    ~HeadlessHost() override;

    void writeStatus(const QString& text) override;
    Variant variant() const override;
    FtpClient& ftp() override;
    ZipComponent& zip() override;
    QString programFolder() const override;
    FtpTlsSettings ftpTls() const override;
    void sleepMs(int ms) override;
    void pumpEvents() override;

    void setFtpTls(const FtpTlsSettings& tls);

private:
    QString m_programFolder;
    StatusWriter& m_status;
    std::unique_ptr<FtpClient> m_FtpObject;
    std::unique_ptr<ZipComponent> m_ZipObject;
    FtpTlsSettings m_ftpTls;
};
