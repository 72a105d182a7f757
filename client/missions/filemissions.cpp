#include "client/missions/filemissions.h"

#include "client/foundation/conversions.h"
#include "client/foundation/filesearch.h"
#include "client/foundation/paths.h"
#include "client/missions/archiveafterdelivery.h"
#include "client/missions/missionfiles.h"
#include "client/transfer/transferhost.h"
#include "client/transfer/zipcomponent.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString readKey(const QString& missionPath, const char* key, const char* def) {
    return MissionFiles::readMissionKey(missionPath, QString::fromLatin1(key),
                                        QString::fromLatin1(def),
                                        MissionFiles::FileMissionBufferSize);
}

void setUp(ZipComponent& zip, const QString& archive, const QString& folder, const QString& mask,
           bool zipping) {
    zip.setArchiveName(archive);
    if (zipping)
        zip.setBaseFolder(folder);
    else
        zip.setDestinationFolder(folder);
    zip.setMask(mask);
    zip.setZipFlagA(true);
    zip.setLevel(9);
    zip.setMethod(8);
    zip.setZipFlagB(true);
}

bool getFile(TransferHost& host, const QString& missionPath, const QString& archive,
             ArchiveAfterDelivery& afterDelivery) {
    const QString targetFiles = readKey(missionPath, "TargetFiles", "-1");
    const QString archiveAfterGetText = readKey(missionPath, "ArchiveAfterGet", "False");
    const QString archivePath = readKey(missionPath, "ArchivePath", "");
    if (targetFiles == QLatin1String("-1"))
        return false;

    bool archiveAfterGet = false;
    if (!Convert::toBoolean(archiveAfterGetText, &archiveAfterGet)) {
        host.writeStatus(
            QStringLiteral("Type mismatch: ArchiveAfterGet \"%1\" is not True or False")
                .arg(archiveAfterGetText));
        return false;
    }

    QString folder;
    QString error;
    const QString mask = SplitPath(targetFiles, folder, &error);
    if (!error.isEmpty()) {
        host.writeStatus(error);
        return false;
    }
    const QStringList matching = FileSearch::findFiles(targetFiles);
    if (matching.isEmpty()) {
        if (QFileInfo(Paths::toNative(targetFiles)).isDir())
            host.writeStatus(targetFiles +
                             QStringLiteral(" is a folder; TargetFiles must name files"));
        return false;
    }

    if (QFileInfo::exists(archive) && !QFile::remove(archive)) {
        host.writeStatus(QStringLiteral("Permission denied: cannot delete ") + archive);
        return false;
    }
    const bool archiving = archiveAfterGet && !archivePath.isEmpty();
    // Moving into the folder the files come from would delete each store file as "a file of
    // the same name in the archive folder".
    const bool intoOwnFolder = archiving && sameFolder(folder, archivePath);
    ArchiveAfterDelivery::Mission packed;
    if (archiving && !intoOwnFolder)
        packed = ArchiveAfterDelivery::note(folder, matching, archivePath);
    ZipComponent& zip = host.zip();
    setUp(zip, archive, folder, mask, true);
    host.writeStatus(QStringLiteral("Creating ") + archive);
    const qint16 code = zip.zip();
    if (code != 0) {
        host.writeStatus(QStringLiteral("Error in ProcessGetSendFile During Zip Error=") +
                         zip.errorDescription(0, code));
        return false;
    }

    if (intoOwnFolder) {
        host.writeStatus(QStringLiteral("ArchivePath ") + archivePath +
                         QStringLiteral(" is the folder of TargetFiles; no files moved"));
    } else if (archiving) {
        // They move once the return pack carrying them has been delivered.
        afterDelivery.add(packed);
    }
    return true;
}

bool sendFile(TransferHost& host, const QString& missionPath, const QString& archive) {
    const QString destination = readKey(missionPath, "DestinationPath", "-1");
    if (destination == QLatin1String("-1") || destination.isEmpty()) {
        // Unpacking into a folder named "-1" would scatter store files where nobody looks.
        host.writeStatus(QStringLiteral("Error in ProcessGetSendFile: no DestinationPath in ") +
                         missionPath);
        return false;
    }
    ZipComponent& zip = host.zip();
    setUp(zip, archive, Paths::toNative(destination), QStringLiteral("*.*"), false);
    host.writeStatus(QStringLiteral("Extracting ") + archive + QStringLiteral(" to ") +
                     destination);
    const qint16 code = zip.unpack();
    if (code != 0) {
        host.writeStatus(QStringLiteral("Error in ProcessGetSendFile During Unzip Error=") +
                         zip.errorDescription(0, code));
        return false;
    }
    if (!QFile::remove(archive)) {
        host.writeStatus(QStringLiteral("Permission denied: cannot delete ") + archive);
        return false;
    }
    return true;
}

} // namespace

bool sameFolder(const QString& a, const QString& b) {
    const QString left = QDir::cleanPath(QFileInfo(Paths::toNative(a)).absoluteFilePath());
    const QString right = QDir::cleanPath(QFileInfo(Paths::toNative(b)).absoluteFilePath());
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (left.compare(right, cs) == 0)
        return true;
    // Links and mounts: compare what the file system resolves, when both exist.
    const QString realLeft = QFileInfo(left).canonicalFilePath();
    const QString realRight = QFileInfo(right).canonicalFilePath();
    return !realLeft.isEmpty() && realLeft.compare(realRight, cs) == 0;
}

bool ProcessGetSendFile(TransferHost& host, const QString& missionPath,
                        ArchiveAfterDelivery& afterDelivery) {
    const QString archive = MissionFiles::companion(missionPath, QStringLiteral(".zip"));
    const QString type = readKey(missionPath, "Type", "-1");
    host.writeStatus(QStringLiteral("Working On ") + missionPath + QStringLiteral(", ") + type);
    const QString kind = type.toLower();
    if (kind == QLatin1String("getfile"))
        return getFile(host, missionPath, archive, afterDelivery);
    if (kind == QLatin1String("sendfile"))
        return sendFile(host, missionPath, archive);
    return false;
}
