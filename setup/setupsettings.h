#pragma once

#include <QList>
#include <QString>

// One value of section "system" as the settings dialog shows it.
struct SetupValue {
    QString shown;
    // The stored value is too long for the dialog (99 characters or more), so the field shows it
    // empty; a Save leaves the stored value alone unless the field was changed.
    bool tooLong = false;
};

// The seven values the dialog edits.
struct SetupSettings {
    SetupValue id;
    SetupValue pass;
    SetupValue connection;
    SetupValue server;
    SetupValue port;       // decimal digits, or the stored text when it is not a whole number
    SetupValue timeToSend; // "h:nn AMPM", or the stored text when it is not a time of day
    SetupValue retry;      // decimal digits, or the stored text when it is not a whole number
    bool ftpTls = false;   // FtpTls as the clients read it
};

// The dialog's reader looks at the first 99 characters of each 500-character buffer.
constexpr int SetupTrimLimit = 99;

// Reads ID, Pass, Connection, Server, Port, TimeToSend, Retry and FtpTls from section "system"
// of the settings file at iniPath, with the dialog's defaults.
SetupSettings ReadSettings(const QString& iniPath);

// How a stored Port, Retry and TimeToSend are shown.
QString wholeNumberText(const QString& stored, qint64 lowest, qint64 highest);
QString timeToSendText(const QString& stored);

// One key of a Save: the field's text, or nothing to write when keep is set.
struct SetupWrite {
    QString key;
    QString value;
    bool keep = false;
};

// Writes the values to section "system" in the given order, each exactly as given. Stops at the
// first value that cannot be written and describes it in *error.
bool WriteSettings(const QString& iniPath, const QList<SetupWrite>& writes, QString* error);
