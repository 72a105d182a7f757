#include "client/transfer/ftpsteps.h"

#include "client/transfer/ftpaccount.h"
#include "client/transfer/ftpclient.h"
#include "client/transfer/transferhost.h"

#include <functional>

namespace FtpSteps {

namespace {
void setLoginValues(FtpClient& ftp) {
    const FtpAccount& account = ftpAccount();
    ftp.setServerAddress(account.server);
    ftp.setUserName(account.user);
    ftp.setPassword(account.password);
    ftp.setPort(21);
}

int transfer(TransferHost& host, const std::function<int()>& call) {
    FtpClient& ftp = host.ftp();
    if (!host.variant().passiveFallback) {
        ftp.setPassiveMode(host.passiveMode());
        return call();
    }
    ftp.setPassiveMode(true);
    if (call() == 0)
        return 0;
    ftp.setPassiveMode(false);
    return call();
}
} // namespace

int login(TransferHost& host, Login kind) {
    FtpClient& ftp = host.ftp();
    const bool windowed = host.variant().waitForCompletion;
    int error = 0;
    switch (kind) {
    case Login::Upload:
        ftp.disconnectFromServer();
        host.sleepMs(10);
        host.pumpEvents();
        ftp.setTransferModeFlag(false);
        setLoginValues(ftp);
        error = ftp.connectToServer();
        if (windowed)
            ftp.setTransferModeFlag(true);
        break;
    case Login::PackDownload:
        setLoginValues(ftp);
        ftp.setTransferModeFlag(false);
        error = ftp.connectToServer();
        if (windowed)
            ftp.setTransferModeFlag(true);
        break;
    case Login::UpdateDownload:
        setLoginValues(ftp);
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
    while (!host.ftpDone()) {
        host.setPulse(true);
        host.sleepMs(10);
        host.pumpEvents();
    }
    host.setPulse(false);
}

void disconnectLoop(TransferHost& host) {
    while (host.ftp().isConnected()) {
        host.ftp().disconnectFromServer();
        host.sleepMs(1000);
        host.pumpEvents();
    }
}

} // namespace FtpSteps
