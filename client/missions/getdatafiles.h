#pragma once

#include <QString>

class StatusWriter;

// The files of a getdata mission that the client handles itself, whichever process reads the
// database: the mission's table name and the date range written back into its .tsd.
struct GetDataRange {
    bool found = false;
    QString first;
    QString last;
};

// The TableName key of a mission, which names it in error lines.
QString GetDataTableName(const QString& missionPath);

// Writes a found range into the mission's .tsd file; a failure becomes an error line.
void WriteGetDataRange(const QString& missionPath, const GetDataRange& range, StatusWriter& status);
