#include "client/foundation/clock.h"

Clock::~Clock() = default;

namespace {
class SystemClock : public Clock {
public:
    QDateTime now() const override {
        return QDateTime::currentDateTime();
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

void ManualClock::set(const QDateTime& time) {
    m_now = time;
}

void ManualClock::advanceSeconds(qint64 seconds) {
    m_now = m_now.addSecs(seconds);
}
