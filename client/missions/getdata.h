#pragma once

#include "client/foundation/clock.h"
#include "client/missions/getdatafiles.h"

#include <QString>
#include <functional>

class StatusWriter;

// Runs one getdata mission (mission file name.ini, section Mission) in this process: copies the
// rows of one table of a point-of-sale database, limited to a date range when the mission says
// so, into name.tsv beside the mission file, and writes the date range of the rows written into
// name.tsd. Every step and failure is reported through status; a failure ends this mission only.
// The clock gives today's date, the default of the StartDate and EndDate keys.
void ProcessGetData(const QString& missionPath, StatusWriter& status,
                    const Clock& clock = systemClock());

// The same without the "Working On" line and the .tsd: the database worker runs this and the
// client writes the range once the worker has ended well. A .tsv that could not be completed is
// removed. onProgress (may be empty) is called for every page read.
GetDataRange ExtractGetData(const QString& missionPath, StatusWriter& status, const Clock& clock,
                            std::function<void()> onProgress);
