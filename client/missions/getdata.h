#pragma once

#include "client/foundation/clock.h"

class QString;
class StatusWriter;

// Runs one getdata mission (mission file name.ini, section Mission): copies the rows of one
// table of a point-of-sale database, limited to a date range when the mission says so, into
// name.tsv beside the mission file, and writes the date range of the rows written into name.tsd.
// Every step and failure is reported through status; a failure ends this mission only. The clock
// gives today's date, the default of the StartDate and EndDate keys.
void ProcessGetData(const QString& missionPath, StatusWriter& status,
                    const Clock& clock = systemClock());
