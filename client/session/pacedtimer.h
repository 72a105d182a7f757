#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class Clock;

// A timer with the pace of one that ticks for ever, which does not wake up while there is
// nothing to do: it sleeps while hasWork() is false and, woken by update(), ticks on the same
// beat (start + n x interval) as if it had never stopped. A tick that came late moves the beat
// as Qt's own precise timer does, so no two ticks are closer than that timer allows.
class PacedTimer : public QObject {
    Q_OBJECT
public:
    PacedTimer(int intervalMs, std::function<bool()> hasWork, QObject* parent = nullptr);

    void setClock(const Clock* clock);
    // The beat starts now; before this the timer never ticks.
    void start();
    // Work may have come or gone: ticks on the next beat while there is some, sleeps otherwise.
    void update();

    int interval() const;
    bool isActive() const;
    // The steady time (Clock::steadyMs) of the coming tick while the timer is active.
    qint64 nextTickAt() const;

signals:
    void timeout();

private:
    void onTimeout();
    void schedule(qint64 due);

    QTimer m_timer;
    int m_interval;
    std::function<bool()> m_hasWork;
    const Clock* m_clock;
    qint64 m_beat = 0; // the last beat, ticked or slept through
    qint64 m_due = 0;
    bool m_started = false;
    bool m_ticking = false;
};
