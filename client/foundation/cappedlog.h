#pragma once

#include "client/foundation/logbudget.h"

#include <QString>

class Clock;

// A debug log of one run (cleared at each start): every line as it comes, but at most
// LinesPerWindow a minute, the rest counted and said in one line when the minute is over, and
// at most MaxBytes in all. The line that reaches the cap says so, and nothing more is written
// until the next start.
class CappedLog {
public:
    static constexpr int LinesPerWindow = 300;
    static constexpr qint64 WindowMs = 60 * 1000;
    static constexpr qint64 MaxBytes = 1024 * 1024;

    explicit CappedLog(const QString& path);

    // The clock stamps the line and keeps the minutes.
    void write(const QString& text, const Clock& clock);
    // The file was cleared: the run starts again with a full budget.
    void restart();

private:
    void append(const QString& text, const Clock& clock);

    QString m_path;
    LogBudget m_budget;
    bool m_capped = false;
};
