#pragma once

#include "client/platform/dialler.h"

#include <QByteArray>

#include <functional>

// The Windows calls behind the dialler, one function each, so that tests can answer in their
// place (wine's own answer success and list nothing). Codes are the calls' own results.
struct WindowsDialCalls {
    // InternetDialA, unattended, with no parent window: 0 with *connection set, or an error.
    std::function<quint32(const QByteArray& name, quintptr* connection)> dial;
    // InternetHangUp.
    std::function<quint32(quintptr connection)> hangUp;
    // RasEnumEntriesW into buffer (room for *bytes bytes of RASENTRYNAMEW records, each with its
    // dwSize set): sets *bytes to what is needed and *count to the number of entries.
    std::function<quint32(void* buffer, quint32* bytes, quint32* count)> listEntries;

    static WindowsDialCalls system();
};

// Dials through the Windows internet dialling calls, unattended; lists the phone-book entries.
class WindowsDialler : public Dialler {
public:
    explicit WindowsDialler(WindowsDialCalls calls = WindowsDialCalls::system());

    // The dialling call's own result is the dial error (668, 631, 87, or another).
    quint32 dial(const QString& connection, Handle* handle) override;
    quint32 hangUp(Handle handle) override;
    QStringList connections() override;

private:
    WindowsDialCalls m_calls;
};
