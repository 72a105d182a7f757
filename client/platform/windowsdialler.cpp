#include "client/platform/windowsdialler.h"

#include <ras.h>
#include <raserror.h>
#include <windows.h>
#include <wininet.h>

#include <vector>

namespace {
// Entries added between two calls make the list grow again; a few rounds are plenty.
constexpr int ListAttempts = 4;
} // namespace

WindowsDialCalls WindowsDialCalls::system() {
    WindowsDialCalls calls;
    calls.dial = [](const QByteArray& name, quintptr* connection) {
        QByteArray copy = name; // the call takes a writable text
        DWORD_PTR handle = 0;
        const DWORD result =
            InternetDialA(nullptr, copy.data(), INTERNET_DIAL_UNATTENDED, &handle, 0);
        *connection = quintptr(handle);
        return quint32(result);
    };
    calls.hangUp = [](quintptr connection) {
        return quint32(InternetHangUp(DWORD_PTR(connection), 0));
    };
    calls.listEntries = [](void* buffer, quint32* bytes, quint32* count) {
        DWORD size = *bytes;
        DWORD entries = 0;
        const DWORD result = RasEnumEntriesW(nullptr, nullptr,
                                             static_cast<LPRASENTRYNAMEW>(buffer), &size, &entries);
        *bytes = size;
        *count = entries;
        return quint32(result);
    };
    return calls;
}

WindowsDialler::WindowsDialler(WindowsDialCalls calls) : m_calls(std::move(calls)) {}

quint32 WindowsDialler::dial(const QString& connection, Handle* handle) {
    quintptr connectionHandle = 0;
    const quint32 result = m_calls.dial(connection.toLocal8Bit(), &connectionHandle);
    if (result == ERROR_SUCCESS && handle)
        *handle = Handle(connectionHandle);
    return result;
}

quint32 WindowsDialler::hangUp(Handle handle) {
    return m_calls.hangUp(quintptr(handle));
}

QStringList WindowsDialler::connections() {
    std::vector<RASENTRYNAMEW> entries(1);
    quint32 count = 0;
    quint32 result = ERROR_BUFFER_TOO_SMALL;
    for (int attempt = 0; attempt < ListAttempts && result == ERROR_BUFFER_TOO_SMALL; ++attempt) {
        for (RASENTRYNAMEW& entry : entries)
            entry.dwSize = sizeof(RASENTRYNAMEW);
        quint32 bytes = quint32(entries.size() * sizeof(RASENTRYNAMEW));
        result = m_calls.listEntries(entries.data(), &bytes, &count);
        if (result == ERROR_BUFFER_TOO_SMALL)
            entries.resize(std::max<size_t>(bytes / sizeof(RASENTRYNAMEW) + 1, entries.size() * 2));
    }
    QStringList names;
    if (result != ERROR_SUCCESS)
        return names;
    for (quint32 i = 0; i < count && i < entries.size(); ++i)
        names << QString::fromWCharArray(entries[i].szEntryName);
    return names;
}
