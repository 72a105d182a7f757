#include "client/missions/missionpack.h"

#include "client/foundation/filesearch.h"
#include "client/foundation/paths.h"
#include "client/missions/archiveafterdelivery.h"
#include "client/missions/filemissions.h"
#include "client/missions/missionfiles.h"
#include "client/transfer/ftpaccount.h"
#include "client/transfer/ftpclient.h"
#include "client/transfer/ftpsteps.h"
#include "client/transfer/transferhost.h"
#include "client/transfer/uploadfile.h"
#include "client/transfer/zipcomponent.h"

#include <QFile>
#include <QFileInfo>

#include <exception>

namespace {

bool receivePack(TransferHost& host, const QString& packName, const QString& localPack) {
    FtpClient& ftp = host.ftp();
    if (FtpSteps::login(host, FtpSteps::Login::PackDownload) != 0) {
        host.writeStatus(QStringLiteral("Error connecting to FTP Server"));
        host.writeStatus(ftp.errorDescription());
        return false;
    }
    const QString remotePack = ftpAccount().storeFolder + QStringLiteral("\\") + packName;
    const TransferHost::Variant variant = host.variant();

    FtpSteps::clearFtpDone(host);
    int error = FtpSteps::receive(host, remotePack, localPack);
    if (error == 0 && variant.transfersReturnAtOnce) {
        FtpSteps::waitForFtpDone(host);
        // The download reports its outcome when it ends; a missing pack must not pass.
        error = ftp.errorNumber();
    }
    if (error != 0) {
        const QString why = ftp.errorDescription(); // the disconnect clears it
        ftp.disconnectFromServer();
        host.sleepMs(10);
        host.pumpEvents();
        host.writeStatus(QStringLiteral("Error Getting ") + packName);
        host.writeStatus(why);
        return false;
    }
    if (variant.disconnectPatiently)
        FtpSteps::disconnectLoop(host);
    return true;
}

void emptyFolder(const QString& folder) {
    // Files that cannot be deleted stay; the unpacking replaces them or not.
    for (const QString& name : FileSearch::findFiles(folder, QStringLiteral("*.*")))
        QFile::remove(Paths::join(folder, name));
}

} // namespace

bool ProcessMissionPack(TransferHost& host, const QString& packName,
                        const GetDataRunner& runGetData) {
    // The server names the pack; a path would replace and delete files outside the folder.
    if (!Paths::isPlainFileName(packName)) {
        host.writeStatus(QStringLiteral("Mission Pack name refused, not a plain file name: ") +
                         packName);
        return false;
    }
    const QString folder = host.programFolder();
    const QString localPack = Paths::join(folder, packName);
    if (QFileInfo::exists(localPack))
        QFile::remove(localPack);
    host.writeStatus(QStringLiteral("Receiving Mission Pack: ") + packName);

    if (!receivePack(host, packName, localPack))
        return false;

    host.writeStatus(packName + QStringLiteral(" Received Successfully"));
    host.writeStatus(QStringLiteral("Processing Mission Pack: ") + packName);

    const QString missionData = MissionFiles::missionDataFolder(folder);
    QString error;
    if (!cMakeDir(missionData, &error)) {
        host.writeStatus(QStringLiteral("Error in ProcessMissionPack: ") + error);
        return false;
    }
    emptyFolder(missionData);

    ZipComponent& zip = host.zip();
    zip.setArchiveName(localPack);
    zip.setDestinationFolder(missionData);
    zip.setMask(QStringLiteral("*.*"));
    zip.setZipFlagA(true);
    zip.setLevel(9);
    zip.setMethod(8);
    zip.setZipFlagB(true);
    host.writeStatus(QStringLiteral("Extracting ") + packName + QStringLiteral(" to ") +
                     missionData);
    const qint16 code = zip.unpack();
    if (code != 0) {
        host.writeStatus(QStringLiteral("Error in ProcessMissionPack During Unzip Error=") +
                         zip.errorDescription(0, code));
        return false;
    }

    // Each name stays whole: a comma is a legal character of a file name.
    const QStringList missions = FileSearch::findFiles(missionData, QStringLiteral("*.ini"));
    if (missions.isEmpty())
        return false;

    // Missions may run long: keep-alives hold the session open meanwhile.
    TransferWatch* watch = host.transferWatch();
    if (watch)
        watch->setPulse(true);
    bool result = false;
    try {
        result = ProcessMissions(host, missions, runGetData);
    } catch (const std::exception& e) {
        // An error that stops the run before the return pack went back is a failure.
        host.writeStatus(QStringLiteral("Error in ProcessMissions error=") +
                         QString::fromLocal8Bit(e.what()));
        result = false;
    }
    if (watch)
        watch->setPulse(false);
    return result;
}

bool ProcessMissions(TransferHost& host, const QStringList& missionNames,
                     const GetDataRunner& runGetData) {
    const QString folder = host.programFolder();
    const QString missionData = MissionFiles::missionDataFolder(folder);
    const TransferHost::Variant variant = host.variant();
    ArchiveAfterDelivery afterDelivery;
    QStringList leaveOut;

    for (const QString& name : missionNames) {
        if (variant.pumpBeforeMission)
            host.pumpEvents();
        const QString missionPath = Paths::join(missionData, name);
        QFile probe(missionPath);
        if (!probe.open(QIODevice::ReadOnly)) {
            host.writeStatus(QStringLiteral("Error in ProcessMissions: cannot read ") +
                             missionPath + QStringLiteral(": ") + probe.errorString());
            continue;
        }
        probe.close();
        const QString type = MissionFiles::readMissionKey(missionPath, QStringLiteral("Type"),
                                                          QString(), MissionFiles::TypeBufferSize)
                                 .toLower();
        if (type == QLatin1String("getdata")) {
            if (runGetData && !runGetData(missionPath))
                leaveOut << MissionFiles::companion(missionPath, QStringLiteral(".tsv"));
        } else if (type == QLatin1String("getfile") || type == QLatin1String("sendfile")) {
            ProcessGetSendFile(host, missionPath, afterDelivery);
        }
    }

    const QString returnPack = Paths::join(folder, QStringLiteral("MissionPackIn.zip"));
    if (QFileInfo::exists(returnPack) && !QFile::remove(returnPack)) {
        host.writeStatus(QStringLiteral("Error in ProcessMissions: cannot delete ") + returnPack);
        return false;
    }
    ZipComponent& zip = host.zip();
    zip.setArchiveName(returnPack);
    zip.setBaseFolder(missionData);
    zip.setMask(QStringLiteral("*.*"));
    zip.setZipFlagA(false);
    zip.setLevel(9);
    zip.setMethod(8);
    zip.setZipFlagB(true);
    zip.setLeaveOut(leaveOut);
    host.writeStatus(QStringLiteral("Creating MissionPackIn.Zip"));
    const qint16 code = zip.zip();
    if (code != 0) {
        host.writeStatus(QStringLiteral("Error in ProcessMissions During Zip Error=") +
                         zip.errorDescription(0, code));
        return false;
    }
    host.writeStatus(QStringLiteral("Sending MissionPackIn.Zip"));
    if (!UploadFile(host, returnPack, QStringLiteral("MissionPackIn.zip")))
        return false; // the packed reports stay for the next night's return pack
    afterDelivery.moveAll(host);
    return true;
}
