#include "client/session/retryschedule.h"

namespace {
// Computed in full width: minutes above 546 wait as long as asked instead of overflowing.
int toSeconds(int minutes) {
    return minutes > 0 ? minutes * 60 : 0;
}
} // namespace

bool RetrySchedule::canRetry() const {
    return m_dialRetryCount < MaxDialRetries;
}

void RetrySchedule::scheduleDialRetry(int minutes) {
    ++m_dialRetryCount;
    m_secondsElapsed = 0;
    m_waitSeconds = toSeconds(minutes);
    m_waiting = true;
}

void RetrySchedule::startChosenWait(int minutes) {
    m_dialRetryCount = 0;
    m_waitSeconds = toSeconds(minutes);
    m_waiting = true;
}

bool RetrySchedule::tick() {
    if (!m_waiting)
        return false;
    if (m_secondsElapsed < m_waitSeconds) {
        ++m_secondsElapsed;
        return false;
    }
    m_waiting = false;
    m_waitSeconds = 0;
    m_secondsElapsed = 0;
    return true;
}

int RetrySchedule::dialRetryCount() const {
    return m_dialRetryCount;
}

bool RetrySchedule::waiting() const {
    return m_waiting;
}

int RetrySchedule::waitSeconds() const {
    return m_waitSeconds;
}

int RetrySchedule::secondsElapsed() const {
    return m_secondsElapsed;
}
