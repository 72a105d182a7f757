#include "client/foundation/clock.h"

#include <chrono>

Clock::~Clock() = default;

namespace {
class SystemClock : public Clock {
public:
    QDateTime now() const override {
        return QDateTime::currentDateTime();
    }
    qint64 steadyMs() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};
} // namespace

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

ManualClock::ManualClock(const QDateTime& start)
    : m_now(start.isValid() ? start : QDateTime(QDate(2026, 12, 6), QTime(9, 53, 13))) {}

QDateTime ManualClock::now() const {
    return m_now;
}

qint64 ManualClock::steadyMs() const {
    return m_now.toMSecsSinceEpoch();
}

void ManualClock::set(const QDateTime& time) {
    m_now = time;
}

void ManualClock::advanceSeconds(qint64 seconds) {
    m_now = m_now.addSecs(seconds);
}
