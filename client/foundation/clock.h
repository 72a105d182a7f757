#pragma once

#include <QDateTime>

// Source of the current time, so that tests can run on a clock of their own.
class Clock {
public:
    virtual ~Clock();
    virtual QDateTime now() const = 0;
    // Milliseconds on a clock that only moves forward, for paces and waits.
    virtual qint64 steadyMs() const = 0;
};

// The real local clock.
const Clock& systemClock();

// A clock that shows whatever time the test sets.
class ManualClock : public Clock {
public:
    explicit ManualClock(const QDateTime& start = QDateTime());
    QDateTime now() const override;
    // Follows the time set: the test moves both clocks at once.
    qint64 steadyMs() const override;
    void set(const QDateTime& time);
    void advanceSeconds(qint64 seconds);

private:
    QDateTime m_now;
};
