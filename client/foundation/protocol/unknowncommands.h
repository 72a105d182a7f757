#pragma once

#include "client/foundation/logbudget.h"

#include <QString>

class Clock;

// Commands a client does not know. A server that streams junk would cost a log line and an
// answer (E99) for every message, even with a known command between every few: the first
// ReportedPerWindow unknown commands of each window are reported and answered as usual, the
// rest only counted. The count comes out as one line once its window is over, and at the end
// of the session.
class UnknownCommands {
public:
    static constexpr int ReportedPerWindow = 10;
    static constexpr qint64 WindowMs = 10 * 60 * 1000;

    explicit UnknownCommands(const Clock* clock = nullptr);
    void setClock(const Clock* clock);

    // True for a code (the first three characters of a message) that the clients act on.
    static bool isKnown(const QString& code);

    // For an unknown command: true when it is to be reported and answered like any other.
    // *summary gets a line to write when a count is due, and stays empty otherwise.
    bool admit(QString* summary);
    // The line that sums up what is still counted (the session ends); empty when nothing is.
    QString end();

private:
    static QString summaryLine(qint64 ignored);

    LogBudget m_budget;
};
