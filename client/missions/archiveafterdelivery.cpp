#include "client/missions/archiveafterdelivery.h"

#include "client/foundation/paths.h"
#include "client/foundation/statuswriter.h"

#include <QFile>
#include <QFileInfo>

ArchiveAfterDelivery::Packed ArchiveAfterDelivery::snapshot(const QString& path,
                                                            const QString& name) {
    const QFileInfo info(path);
    Packed packed;
    packed.name = name;
    packed.size = info.size();
    packed.modified = info.lastModified();
    packed.born = info.birthTime();
    return packed;
}

ArchiveAfterDelivery::Mission ArchiveAfterDelivery::note(const QString& folder,
                                                         const QStringList& names,
                                                         const QString& archivePath) {
    Mission mission;
    mission.folder = Paths::toNative(folder);
    mission.archivePath = archivePath;
    for (const QString& name : names)
        mission.files << snapshot(Paths::join(mission.folder, name), name);
    return mission;
}

void ArchiveAfterDelivery::add(const Mission& mission) {
    m_missions << mission;
}

void ArchiveAfterDelivery::moveAll(StatusWriter& status) {
    const QList<Mission> missions = m_missions;
    m_missions.clear();
    for (const Mission& mission : missions)
        moveMission(mission, status);
}

void ArchiveAfterDelivery::moveMission(const Mission& mission, StatusWriter& status) {
    QString error;
    if (!cMakeDir(mission.archivePath, &error)) {
        status.writeStatus(error);
        return;
    }
    for (const Packed& packed : mission.files) {
        const QString source = Paths::join(mission.folder, packed.name);
        const QString target = Paths::join(Paths::toNative(mission.archivePath), packed.name);
        if (!QFileInfo::exists(source))
            continue;
        const Packed now = snapshot(source, packed.name);
        if (now.size != packed.size || now.modified != packed.modified || now.born != packed.born) {
            status.writeStatus(source + QStringLiteral(" changed after it was packed; it stays "
                                                       "for the next night"));
            continue;
        }
        if (QFileInfo::exists(target) && !QFile::remove(target)) {
            status.writeStatus(QStringLiteral("Permission denied: cannot replace ") + target);
            return;
        }
        if (!QFile::rename(source, target)) {
            status.writeStatus(QStringLiteral("Path/File access error: cannot move ") + source +
                               QStringLiteral(" to ") + target);
            return;
        }
    }
}
