#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class TransferHost;

// Runs one data extraction mission (the windowed client); empty where they are skipped (vanelet).
// False when the mission's .tsv must not go back (it is not the mission's result and could not
// be removed).
using GetDataRunner = std::function<bool(const QString& missionPath)>;

// Fetches the named Mission Pack from the store folder, unpacks it into MissionData (emptied
// first), runs its missions and sends MissionPackIn.zip back. True only when all of that
// succeeded; the session then answers "E31", otherwise "E32".
bool ProcessMissionPack(TransferHost& host, const QString& packName,
                        const GetDataRunner& runGetData = GetDataRunner());

// Runs the missions of the list in order, then zips MissionData into MissionPackIn.zip and
// uploads it. True when the return pack was made and uploaded.
bool ProcessMissions(TransferHost& host, const QStringList& missionNames,
                     const GetDataRunner& runGetData = GetDataRunner());
