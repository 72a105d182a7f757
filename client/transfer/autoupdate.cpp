#include "client/transfer/autoupdate.h"

#include "client/foundation/paths.h"
#include "client/transfer/ftpclient.h"
#include "client/transfer/ftpsteps.h"
#include "client/transfer/transferhost.h"
#include "client/transfer/zipcomponent.h"

#include <QFile>
#include <QFileInfo>

bool AutoUpdateClient(TransferHost& host, const std::function<void(const QString&)>& sendCode) {
    const QString folder = host.programFolder();
    const QString newClient = Paths::join(folder, QStringLiteral("skyvane.new"));
    const QString localZip = Paths::join(folder, QStringLiteral("skyvane.zip"));

    if (QFileInfo::exists(newClient) && !QFile::remove(newClient)) {
        host.writeStatus(QStringLiteral("Error during FTP: Doing Auto Update, Error=") +
                         QStringLiteral("Permission denied: cannot delete ") + newClient);
        sendCode(QStringLiteral("E28"));
        return false;
    }
    host.writeStatus(QStringLiteral("Attempting to run AutoUpdate, getting skyvane.new"));

    FtpClient& ftp = host.ftp();
    if (FtpSteps::login(host, FtpSteps::Login::UpdateDownload) != 0) {
        host.writeStatus(QStringLiteral("Error connecting to FTP Server"));
        return false;
    }
    bool received = false;
    QString downloadError;
    if (FtpSteps::receive(host, QStringLiteral("\\skyvane.zip"), localZip) != 0) {
        downloadError = ftp.errorDescription();
        host.writeStatus(QStringLiteral("Error Receiving skyvane.zip"));
    } else {
        host.writeStatus(QStringLiteral("skyvane.zip Received Successfully"));
        received = true;
    }
    ftp.disconnectFromServer();

    if (!received) {
        host.writeStatus(QStringLiteral("Auto Update download failed"));
        // The download's own reason, so the line says why.
        host.writeStatus(downloadError);
        sendCode(QStringLiteral("E12"));
        return false;
    }

    ZipComponent& zip = host.zip();
    zip.setArchiveName(localZip);
    zip.setDestinationFolder(folder);
    zip.setMask(QStringLiteral("skyvane.new"));
    zip.setZipFlagA(true);
    zip.setLevel(9);
    zip.setMethod(8);
    zip.setZipFlagB(true);
    host.writeStatus(QStringLiteral("Extracting skyvane.zip to ") + folder);
    const qint16 code = zip.unpack();
    if (code != 0) {
        host.writeStatus(QStringLiteral("Error in AutoUpdateClient During Unzip Error=") +
                         zip.errorDescription(0, code));
        return false;
    }
    host.writeStatus(QStringLiteral("Auto Update file received"));
    sendCode(QStringLiteral("E11"));
    return true;
}
