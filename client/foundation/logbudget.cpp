#include "client/foundation/logbudget.h"

#include "client/foundation/clock.h"

LogBudget::LogBudget(int linesPerWindow, qint64 windowMs, const Clock* clock)
    : m_linesPerWindow(linesPerWindow), m_windowMs(windowMs),
      m_clock(clock ? clock : &systemClock()) {}

void LogBudget::setClock(const Clock* clock) {
    const Clock* next = clock ? clock : &systemClock();
    if (next == m_clock)
        return;
    m_clock = next;
    m_started = false;
}

void LogBudget::roll() {
    const qint64 now = m_clock->steadyMs();
    if (m_started && now - m_windowStart < m_windowMs && now >= m_windowStart)
        return;
    m_started = true;
    m_windowStart = now;
    m_used = 0;
    m_due = m_counted > 0;
}

bool LogBudget::admit() {
    roll();
    if (m_used < m_linesPerWindow) {
        ++m_used;
        return true;
    }
    ++m_counted;
    return false;
}

qint64 LogBudget::takeDue() {
    roll();
    if (!m_due)
        return 0;
    m_due = false;
    return takeAll();
}

qint64 LogBudget::takeAll() {
    const qint64 counted = m_counted;
    m_counted = 0;
    m_due = false;
    return counted;
}
