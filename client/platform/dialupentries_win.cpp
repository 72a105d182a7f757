#include "client/platform/dialupentries.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <vector>

#include <windows.h>

#include <ras.h>

namespace {

// RASENTRYNAMEA as the system knows it: a DWORD size, then the NUL-ended name (at most 257 bytes
// with the NUL). Windows NT 4 uses the short record, later systems the long one.
constexpr quint32 recordSizeVer4 = 264;
constexpr quint32 recordSizeVer5 = 532;
constexpr int nameOffset = 4;
constexpr int nameRoom = 257;
constexpr quint32 bufferTooSmall = 603;

// Entries added between two calls make the list grow again; a few rounds are plenty.
constexpr int ListAttempts = 4;

void setFirstRecordSize(std::vector<char>& buffer, quint32 recordSize) {
    std::memcpy(buffer.data(), &recordSize, sizeof recordSize);
}

} // namespace

int GetWindowsVersion() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info; // 148
// The call is marked deprecated, but it is the one that reports what the dial-up records need.
#if defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4996)
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    const BOOL ok = GetVersionExA(&info);
#if defined(_MSC_VER)
#pragma warning(pop)
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    return ok ? int(info.dwMajorVersion) : 0;
}

RasListCalls RasListCalls::system() {
    RasListCalls calls;
    calls.enumEntries = [](void* buffer, quint32* bytes, quint32* count) {
        DWORD size = *bytes;
        DWORD entries = 0;
        const DWORD rc = RasEnumEntriesA(nullptr, nullptr, static_cast<LPRASENTRYNAMEA>(buffer),
                                         &size, &entries);
        *bytes = size;
        *count = entries;
        return quint32(rc);
    };
    calls.windowsVersion = GetWindowsVersion;
    return calls;
}

RasEntryLister::RasEntryLister(RasListCalls calls) : m_calls(std::move(calls)) {}

DialupEntryLister::Result RasEntryLister::listWithRecordSize(quint32 recordSize) {
    Result result;
    std::vector<char> buffer(recordSize, 0);
    quint32 bytes = 0; // the first call is told the buffer holds nothing, to learn the size
    quint32 entries = 0;
    quint32 rc = bufferTooSmall;
    for (int attempt = 0; attempt < ListAttempts && rc == bufferTooSmall; ++attempt) {
        setFirstRecordSize(buffer, recordSize);
        rc = m_calls.enumEntries(buffer.data(), &bytes, &entries);
        if (rc == bufferTooSmall) {
            const size_t needed = std::max<size_t>(size_t(entries) * recordSize, bytes);
            buffer.assign(std::max<size_t>(needed, buffer.size() * 2), 0);
            bytes = quint32(buffer.size());
        }
    }
    if (rc != 0) {
        result.outcome = Outcome::ListFailed;
        return result;
    }
    const size_t fits = buffer.size() / recordSize;
    for (size_t i = 0; i < entries && i < fits; ++i) {
        const char* name = buffer.data() + i * recordSize + nameOffset;
        result.names << QString::fromLocal8Bit(name, int(strnlen(name, nameRoom)));
    }
    return result;
}

DialupEntryLister::Result RasEntryLister::listEntries() {
    const int major = m_calls.windowsVersion();
    if (major == 4)
        return listWithRecordSize(recordSizeVer4);
    // 10 is what Windows 10 and 11 report to a program whose manifest names them.
    if (major == 5 || major == 6 || major == 10)
        return listWithRecordSize(recordSizeVer5);
    Result result;
    result.outcome = Outcome::UnknownSystem;
    result.systemVersion = major;
    return result;
}
