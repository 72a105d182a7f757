#include "client/session/sessionnetwork.h"

#include "client/foundation/clock.h"
#include "client/foundation/datetext.h"
#include "client/foundation/prompter.h"
#include "client/foundation/settings.h"
#include "client/foundation/statuslog.h"
#include "client/platform/dialler.h"
#include "client/session/clientstate.h"
#include "client/session/sessionclient.h"
#include "client/session/sessionhost.h"

SessionNetwork::SessionNetwork(SessionHost* host, Dialler* dialler)
    : m_host(host), m_dialler(dialler), m_clock(&systemClock()) {}

void SessionNetwork::setClock(const Clock* clock) {
    m_clock = clock ? clock : &systemClock();
}

QString SessionNetwork::timeOfDay() const {
    return DateText::longTime(m_clock->now().time());
}

bool SessionNetwork::bringUp(bool fromReconnect) {
    WriteStatus(QStringLiteral("Detecting Network"));
    const ClientSettings& settings = clientSettings();
    if (settings.connection.toUpper() == QLatin1String("LAN")) {
        m_networkReady = true;
        return true;
    }
    WriteStatus(QStringLiteral("Making Connection on: ") + settings.connection);
    const bool ok = DialConnection();
    if (clientFlags().closing) {
        // The client is ending: no retry is scheduled that could never run.
        m_host->unloadMainWindow();
        return false;
    }
    if (!ok) {
        if (m_retry.canRetry()) {
            m_retry.scheduleDialRetry(settings.retry);
            WriteStatus(timeOfDay() + QStringLiteral(" Retry #") +
                        QString::number(m_retry.dialRetryCount()) + QStringLiteral(" in ") +
                        QString::number(settings.retry) + QStringLiteral(" minute(s)."));
        } else {
            giveUp(fromReconnect);
        }
    }
    return m_networkReady;
}

void SessionNetwork::giveUp(bool fromReconnect) {
    WriteStatus(fromReconnect ? QStringLiteral("Exceeded 10 Retrys...Program Will Exit")
                              : QStringLiteral("Network Connection Failed"));
    SessionClient::inform(
        QStringLiteral("After 10 Attempts the Skyvane has failed to connect to the Network, "
                       "please notify your Tabulon Service Provider ASAP"),
        Prompter::Icon::Critical);
    clientFlags().closing = true;
    m_host->unloadMainWindow();
    m_host->unloadNotice();
}

bool SessionNetwork::DialConnection() {
    const QString& connection = clientSettings().connection;
    if (connection.isEmpty()) {
        WriteStatus(QStringLiteral("No Connection is specified."));
        SessionClient::inform(QStringLiteral("No Connection is specified, please notify your "
                                             "Tabulon Service Provider ASAP."),
                              Prompter::Icon::Critical);
        clientFlags().closing = true;
        return false;
    }
    Dialler::Handle handle = 0;
    const quint32 result = m_dialler ? m_dialler->dial(connection, &handle) : Dialler::NoConnection;
    if (result != 0) {
        WriteStatus(QStringLiteral("Error in connecting: ") + DialErrorText(result));
        m_networkReady = false;
        m_host->setCancelEnabled(true);
        return false;
    }
    m_connectionHandle = handle;
    WriteStatus(QStringLiteral("Connected to: ") + connection);
    m_networkReady = true;
    clientFlags().dialedUp = true;
    m_host->setCancelEnabled(false);
    return true;
}

void SessionNetwork::HangUpConnection() {
    const quint32 result =
        m_dialler ? m_dialler->hangUp(m_connectionHandle) : Dialler::InvalidParameter;
    if (result != 0) {
        WriteStatus(QStringLiteral("Error in disconnecting: ") + DialErrorText(result));
    } else {
        WriteStatus(QStringLiteral("Disconnected---"));
        WriteStatus(QStringLiteral("End Of Program"));
    }
    clientFlags().dialedUp = false;
}

void SessionNetwork::chooseRetry(const QString& minutes) {
    if (minutes != QLatin1String("0")) {
        WriteStatus(timeOfDay() + QStringLiteral(" Retry in ") + minutes +
                    QStringLiteral(" minutes."));
        m_retry.startChosenWait(minutes.toInt());
        m_host->minimizeMainWindow();
    } else {
        clientFlags().closing = true;
        m_host->unloadMainWindow();
        m_host->unloadNotice();
    }
}

bool SessionNetwork::retryTick() {
    if (!m_retry.tick())
        return false;
    m_host->restoreMainWindow();
    return true;
}

bool SessionNetwork::networkReady() const {
    return m_networkReady;
}

const RetrySchedule& SessionNetwork::retrySchedule() const {
    return m_retry;
}
