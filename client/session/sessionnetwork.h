#pragma once

#include "client/session/retryschedule.h"

#include <QtGlobal>

class Clock;
class Dialler;
class SessionHost;

// Brings the network up for the session: nothing to do on a LAN, otherwise dialling the
// configured connection, with the retry schedule when dialling fails, and hanging up at the end.
class SessionNetwork {
public:
    SessionNetwork(SessionHost* host, Dialler* dialler);

    // The clock of the retry lines' time of day.
    void setClock(const Clock* clock);

    // Detects the network and dials when needed. False when the session cannot go on now: a
    // retry is scheduled, the client gave up, or it is closing.
    bool bringUp(bool fromReconnect);

    bool DialConnection();
    void HangUpConnection();

    // The retry chooser's OK: "0" ends the client, a number of minutes starts a wait.
    void chooseRetry(const QString& minutes);
    // One second of the retry wait; true when the wait is over and the session starts again.
    bool retryTick();

    bool networkReady() const;
    const RetrySchedule& retrySchedule() const;

private:
    void giveUp(bool fromReconnect);
    QString timeOfDay() const;

    SessionHost* m_host;
    Dialler* m_dialler;
    const Clock* m_clock;
    bool m_networkReady = false;
    quintptr m_connectionHandle = 0;
    RetrySchedule m_retry;
};
