#pragma once

#include <QtGlobal>

class Clock;

// How many lines of one kind a log takes per time window. A server that streams junk, or a
// queue that overflows all night, must cost a few lines and not the disk: within a window the
// first linesPerWindow lines go through and the rest are counted; the count is due once that
// window is over, so that it can be said in one line.
class LogBudget {
public:
    LogBudget(int linesPerWindow, qint64 windowMs, const Clock* clock = nullptr);

    // A clock other than the one in use starts a new window.
    void setClock(const Clock* clock);

    // True when one more line may be written now; otherwise the line is counted.
    bool admit();
    // The lines counted in windows that are over, once; 0 when none are due.
    qint64 takeDue();
    // Every line counted so far, due or not (the writer ends).
    qint64 takeAll();

private:
    void roll();

    int m_linesPerWindow;
    qint64 m_windowMs;
    const Clock* m_clock;
    bool m_started = false;
    qint64 m_windowStart = 0;
    int m_used = 0;
    qint64 m_counted = 0;
    bool m_due = false;
};
