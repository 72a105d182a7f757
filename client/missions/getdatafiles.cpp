#include "client/missions/getdatafiles.h"

#include "client/foundation/paths.h"
#include "client/foundation/profilefile.h"
#include "client/foundation/statuswriter.h"
#include "client/missions/missionfiles.h"

QString GetDataTableName(const QString& missionPath) {
    return MissionFiles::readMissionKey(Paths::toNative(missionPath), QStringLiteral("TableName"),
                                        QString(), MissionFiles::TypeBufferSize);
}

void WriteGetDataRange(const QString& missionPath, const GetDataRange& range,
                       StatusWriter& status) {
    if (!range.found)
        return;
    const QString tsdPath =
        MissionFiles::companion(Paths::toNative(missionPath), QStringLiteral(".tsd"));
    const QString section = QStringLiteral("TSD");
    QString error;
    if (!ProfileFile::writeString(tsdPath, section, QStringLiteral("StartDate"), range.first,
                                  &error))
        status.writeStatus(QStringLiteral("Error in ProcessGetData on ") +
                           GetDataTableName(missionPath) + QStringLiteral(" error=") + error);
    if (!ProfileFile::writeString(tsdPath, section, QStringLiteral("EndDate"), range.last, &error))
        status.writeStatus(QStringLiteral("Error in ProcessGetData on ") +
                           GetDataTableName(missionPath) + QStringLiteral(" error=") + error);
}
