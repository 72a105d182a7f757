#include "client/transfer/ftpsteps.h"

#include "client/transfer/ftpaccount.h"
#include "client/transfer/ftpclient.h"
#include "client/transfer/transferhost.h"

#include <functional>

namespace FtpSteps {

namespace {
void setLoginValues(TransferHost& host) {
    FtpClient& ftp = host.ftp();
    const FtpTlsSettings tls = host.ftpTls();
    ftp.setTls(tls.enabled);
    ftp.setCaFile(tls.caFile);
    const FtpAccount& account = ftpAccount();
    ftp.setServerAddress(account.server);
    ftp.setUserName(account.user);
    ftp.setPassword(account.password);
    ftp.setPort(21);
}

// Failures a data connection of the other kind cannot mend.
bool activeModeMayHelp(int error) {
    switch (error) {
    case FtpClient::ErrorReadLocal:
    case FtpClient::ErrorWriteLocal:
    case FtpClient::ErrorAborted:
    case FtpClient::ErrorLoginDenied:
    case FtpClient::ErrorCertificate:
    case FtpClient::ErrorTlsRefused:
    case FtpClient::ErrorCaFile:
    case FtpClient::ErrorUrlMalformat:
        return false;
    default:
        return true;
    }
}

int transfer(TransferHost& host, const std::function<int()>& call) {
    FtpClient& ftp = host.ftp();
    if (!host.variant().passiveFallback) {
        ftp.setPassiveMode(host.variant().passiveMode);
        return call();
    }
    ftp.setPassiveMode(true);
    const int error = call();
    // The second try is for a passive data connection that never came (refused, or blocked on
    // the way). Once the server has begun taking the file, a second try would send it again
    // from its first byte; the first try's failure is the one to report.
    if (error == 0 || ftp.transferStarted() || !activeModeMayHelp(error))
        return error;
    host.writeStatus(QStringLiteral("Passive mode failed, trying active mode: ") +
                     ftp.errorDescription());
    ftp.setPassiveMode(false);
    return call();
}
} // namespace

int login(TransferHost& host, Login kind) {
    FtpClient& ftp = host.ftp();
    const bool returnAtOnce = host.variant().transfersReturnAtOnce;
    int error = 0;
    switch (kind) {
    case Login::Upload:
        ftp.disconnectFromServer();
        host.sleepMs(10);
        host.pumpEvents();
        ftp.setTransferModeFlag(false);
        setLoginValues(host);
        error = ftp.connectToServer();
        if (returnAtOnce)
            ftp.setTransferModeFlag(true);
        break;
    case Login::PackDownload:
        setLoginValues(host);
        ftp.setTransferModeFlag(false);
        error = ftp.connectToServer();
        if (returnAtOnce)
            ftp.setTransferModeFlag(true);
        break;
    case Login::UpdateDownload:
        setLoginValues(host);
        error = ftp.connectToServer();
        ftp.setTransferModeFlag(false);
        break;
    }
    return error;
}

int send(TransferHost& host, const QString& localPath, const QString& remotePath) {
    return transfer(host, [&] { return host.ftp().sendFile(localPath, 0, remotePath, false); });
}

int receive(TransferHost& host, const QString& remotePath, const QString& localPath) {
    return transfer(host, [&] { return host.ftp().receiveFile(remotePath, 0, localPath); });
}

void waitForFtpDone(TransferHost& host) {
    TransferWatch* watch = host.transferWatch();
    if (!watch)
        return; // nothing reports the end: the transfer ended when its call returned
    // The flag alone is not enough: a lost idle login reports its disconnection inside the
    // call that starts the transfer, before the transfer has even begun.
    while (!watch->ftpDone() || host.ftp().isBusy()) {
        watch->setPulse(true);
        host.sleepMs(10);
        host.pumpEvents();
    }
    watch->setPulse(false);
}

void clearFtpDone(TransferHost& host) {
    if (TransferWatch* watch = host.transferWatch())
        watch->clearFtpDone();
}

void disconnectLoop(TransferHost& host) {
    while (host.ftp().isConnected()) {
        host.ftp().disconnectFromServer();
        host.sleepMs(1000);
        host.pumpEvents();
    }
}

} // namespace FtpSteps
