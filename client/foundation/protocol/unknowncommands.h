#pragma once

#include <QString>

// Commands a client does not know. A server that streams junk would cost a log line and an
// answer (E99) for every message: the first few unknown commands of a burst are reported and
// answered as usual, the rest only counted. The count comes out as one line when the burst
// ends (a known command, or the end of the session) and every SummaryEvery messages meanwhile.
class UnknownCommands {
public:
    static constexpr int ReportedPerBurst = 10;
    static constexpr qint64 SummaryEvery = 100000;

    // True for a code (the first three characters of a message) that the clients act on.
    static bool isKnown(const QString& code);

    // For an unknown command: true when it is to be reported and answered like any other.
    // *summary gets a line to write when a count is due, and stays empty otherwise.
    bool admit(QString* summary);
    // The line that sums up the burst that has just ended; empty when nothing was ignored.
    QString endBurst();

private:
    QString takeSummary();

    int m_reported = 0;
    qint64 m_ignored = 0;
};
