#include "client/transfer/uploadfile.h"

#include "client/transfer/ftpaccount.h"
#include "client/transfer/ftpclient.h"
#include "client/transfer/ftpsteps.h"
#include "client/transfer/transferhost.h"

bool UploadFile(TransferHost& host, const QString& localPath, const QString& remoteName,
                const QString& sourcePath) {
    FtpClient& ftp = host.ftp();
    if (FtpSteps::login(host, FtpSteps::Login::Upload) != 0) {
        host.writeStatus(QStringLiteral("Error connecting to FTP Server"));
        host.writeStatus(ftp.errorDescription());
        return false;
    }

    const QString remotePath =
        QStringLiteral("\\") + ftpAccount().storeFolder + QStringLiteral("\\") + remoteName;
    const QString uploadFrom = sourcePath.isEmpty() ? localPath : sourcePath;
    const TransferHost::Variant variant = host.variant();

    FtpSteps::clearFtpDone(host);
    int error = FtpSteps::send(host, uploadFrom, remotePath);
    if (error == 0 && variant.transfersReturnAtOnce) {
        FtpSteps::waitForFtpDone(host);
        // A transfer that was under way when the call returned reports its end later; a
        // refusal then must not pass as success.
        error = ftp.errorNumber();
    }

    bool result = false;
    if (error == 0) {
        host.writeStatus(localPath + QStringLiteral(" Sent Successfully"));
        result = true;
    } else {
        host.writeStatus(QStringLiteral("Error Sending ") + localPath);
        host.writeStatus(ftp.errorDescription());
    }

    if (variant.disconnectPatiently) {
        FtpSteps::disconnectLoop(host);
        host.sleepMs(2000);
    } else {
        ftp.disconnectFromServer();
    }
    return result;
}
