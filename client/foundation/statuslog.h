#pragma once

#include "client/foundation/statuswriter.h"

#include <QString>
#include <QStringList>

class Clock;
class QStringListModel;

// The windowed client's status lines: each goes to transact.log in the program folder and, until
// the client turns quiet while closing, to the status list model that the main window shows.
class StatusLog : public StatusWriter {
public:
    // The list keeps at most this many lines (its index is a 16-bit number); beyond it the
    // oldest lines leave the list. transact.log keeps everything.
    static constexpr int MaxListLines = 32767;

    StatusLog();
    ~StatusLog() override;

    // The process-wide log of the windowed client.
    static StatusLog& instance();

    void writeStatus(const QString& text) override;

    // Once set, lines reach transact.log only. Cleared only when a restart begins a new session.
    void setQuiet(bool quiet = true);
    bool isQuiet() const;

    QStringListModel* model() const;

    // For tests: the clock of the line stamps (of the debug logs too).
    void setClock(const Clock* clock);
    const Clock& clock() const;
    QString transactLogPath() const;

private:
    void appendToList(const QString& text);

    QStringListModel* m_model;
    const Clock* m_clock;
    bool m_quiet = false;
    bool m_writeFailureShown = false;
};

// Shorthands on StatusLog::instance() for the windowed client.
void WriteStatus(const QString& text);

// Debug logs of the windowed client (debug.log, debugSend.log, debugRecd.log, debugFTP.log), in
// the program folder, deleted at every start and capped for a run (CappedLog). ClearDebugLogs
// returns a line for each log that could not be deleted, for the caller to report once the
// status list shows; the run goes on with the old file.
QStringList ClearDebugLogs();
void WriteDebugMessage(const QString& entry, bool isSent);
void WriteFtpDebug(const QString& text);

// The debug.log form of an entry: its first eight characters, a blank, the rest. A shorter
// entry is written whole, followed by the blank.
QString debugLogForm(const QString& entry);
