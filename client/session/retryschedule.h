#pragma once

// The timed wait before the next connection attempt, and the count of dial retries.
class RetrySchedule {
public:
    static constexpr int MaxDialRetries = 10;

    // Another dial retry may still be scheduled.
    bool canRetry() const;

    // Counts one more dial retry and starts a fresh wait of the given minutes.
    void scheduleDialRetry(int minutes);

    // The retry chooser's wait: the dial count starts again; seconds already counted by a wait
    // that is still running stay counted.
    void startChosenWait(int minutes);

    // One second of the wait (tmrRetrySec). True on the tick that ends the wait: a wait of n
    // seconds ends on tick n + 1.
    bool tick();

    int dialRetryCount() const;
    bool waiting() const;
    int waitSeconds() const;
    int secondsElapsed() const;

private:
    int m_dialRetryCount = 0;
    bool m_waiting = false;
    int m_waitSeconds = 0;
    int m_secondsElapsed = 0;
};
