#pragma once

#include <QString>

// Paths of a Mission Pack's files in the program folder.
namespace MissionFiles {

// programFolder + "MissionData"
QString missionDataFolder(const QString& programFolder);
// The mission file path with its last four characters (".ini") replaced by extension
// (".tsd", ".tsv", ".zip").
QString companion(const QString& missionPath, const QString& extension);
// Mission keys are read into buffers of this size; file missions use the settings size.
constexpr int TypeBufferSize = 1024;
constexpr int FileMissionBufferSize = 500;

// A key of section Mission, read like every profile value and cut by trimdown.
QString readMissionKey(const QString& missionPath, const QString& key, const QString& def,
                       int bufferSize);

} // namespace MissionFiles
