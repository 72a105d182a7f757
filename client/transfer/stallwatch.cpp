#include "client/transfer/stallwatch.h"

#include "client/foundation/clock.h"

StallWatch::StallWatch(const Clock& clock, qint64 limitMs)
    : m_clock(clock), m_limitMs(limitMs), m_lastMs(clock.steadyMs()) {}

void StallWatch::noteActivity() {
    m_lastMs = m_clock.steadyMs();
}

void StallWatch::noteMoved(qint64 bytes) {
    if (bytes == m_moved)
        return;
    m_moved = bytes;
    noteActivity();
}

void StallWatch::noteAcknowledged(qint64 bytes) {
    // Only a new highest count is news: an estimate that dips and comes back took nothing.
    if (bytes <= m_acknowledged)
        return;
    m_acknowledged = bytes;
    noteActivity();
}

bool StallWatch::stalled() const {
    return m_clock.steadyMs() - m_lastMs >= m_limitMs;
}
