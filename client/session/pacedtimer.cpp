#include "client/session/pacedtimer.h"

#include "client/foundation/clock.h"

#include <algorithm>

PacedTimer::PacedTimer(int intervalMs, std::function<bool()> hasWork, QObject* parent)
    : QObject(parent), m_interval(intervalMs), m_hasWork(std::move(hasWork)),
      m_clock(&systemClock()) {
    m_timer.setSingleShot(true);
    // The sending pace is part of the protocol: keep it to the millisecond.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PacedTimer::onTimeout);
}

void PacedTimer::setClock(const Clock* clock) {
    m_clock = clock ? clock : &systemClock();
}

void PacedTimer::start() {
    m_started = true;
    m_beat = m_clock->steadyMs();
    m_timer.stop();
    update();
}

void PacedTimer::update() {
    // During its own tick the timer decides once the tick is over.
    if (!m_started || m_ticking)
        return;
    if (!m_hasWork()) {
        m_timer.stop();
        return;
    }
    if (m_timer.isActive())
        return;
    // The first beat not yet past, counting the ones slept through.
    const qint64 now = m_clock->steadyMs();
    const qint64 beats = std::max<qint64>(1, (now - m_beat + m_interval - 1) / m_interval);
    schedule(m_beat + beats * m_interval);
}

void PacedTimer::onTimeout() {
    m_beat = m_due;
    m_ticking = true;
    emit timeout();
    m_ticking = false;
    if (!m_hasWork())
        return;
    const qint64 now = m_clock->steadyMs();
    if (m_beat + m_interval < now)
        m_beat = now; // came late by more than a beat: the beat starts again from here
    schedule(m_beat + m_interval);
}

void PacedTimer::schedule(qint64 due) {
    m_due = due;
    const qint64 now = m_clock->steadyMs();
    m_timer.start(int(std::clamp<qint64>(due - now, 0, m_interval)));
}

int PacedTimer::interval() const {
    return m_interval;
}

bool PacedTimer::isActive() const {
    return m_timer.isActive();
}

qint64 PacedTimer::nextTickAt() const {
    return m_due;
}
