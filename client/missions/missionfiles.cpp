#include "client/missions/missionfiles.h"

#include "client/foundation/paths.h"
#include "client/foundation/profilefile.h"
#include "client/foundation/trimdown.h"

namespace MissionFiles {

QString missionDataFolder(const QString& programFolder) {
    return Paths::join(programFolder, QStringLiteral("MissionData"));
}

QString companion(const QString& missionPath, const QString& extension) {
    return missionPath.left(qMax(0, int(missionPath.size()) - 4)) + extension;
}

QString readMissionKey(const QString& missionPath, const QString& key, const QString& def,
                       int bufferSize) {
    return trimdown(
        ProfileFile::readBuffer(missionPath, QStringLiteral("Mission"), key, def, bufferSize));
}

} // namespace MissionFiles
