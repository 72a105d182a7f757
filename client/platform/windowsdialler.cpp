#include "client/platform/windowsdialler.h"

#include <ras.h>
#include <windows.h>
#include <wininet.h>

#include <vector>

quint32 WindowsDialler::dial(const QString& connection, Handle* handle) {
    QByteArray name = connection.toLocal8Bit();
    DWORD_PTR connectionHandle = 0;
    const DWORD result =
        InternetDialA(nullptr, name.data(), INTERNET_DIAL_UNATTENDED, &connectionHandle, 0);
    if (result == ERROR_SUCCESS && handle)
        *handle = Handle(connectionHandle);
    return quint32(result);
}

quint32 WindowsDialler::hangUp(Handle handle) {
    return quint32(InternetHangUp(DWORD_PTR(handle), 0));
}

QStringList WindowsDialler::connections() {
    DWORD bytes = sizeof(RASENTRYNAMEW);
    DWORD count = 0;
    std::vector<RASENTRYNAMEW> entries(1);
    entries[0].dwSize = sizeof(RASENTRYNAMEW);
    DWORD result = RasEnumEntriesW(nullptr, nullptr, entries.data(), &bytes, &count);
    if (result == ERROR_BUFFER_TOO_SMALL) {
        entries.resize(bytes / sizeof(RASENTRYNAMEW) + 1);
        for (RASENTRYNAMEW& entry : entries)
            entry.dwSize = sizeof(RASENTRYNAMEW);
        result = RasEnumEntriesW(nullptr, nullptr, entries.data(), &bytes, &count);
    }
    QStringList names;
    if (result != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0; i < count; ++i)
        names << QString::fromWCharArray(entries[i].szEntryName);
    return names;
}
