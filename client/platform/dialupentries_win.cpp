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
constexpr DWORD recordSizeVer4 = 264;
constexpr DWORD recordSizeVer5 = 532;
constexpr int nameOffset = 4;
constexpr int nameRoom = 257;
constexpr DWORD bufferTooSmall = 603;

void setFirstRecordSize(std::vector<char>& buffer, DWORD recordSize) {
    std::memcpy(buffer.data(), &recordSize, sizeof recordSize);
}

DialupEntryLister::Result listWithRecordSize(DWORD recordSize) {
    DialupEntryLister::Result result;
    std::vector<char> buffer(recordSize, 0);
    setFirstRecordSize(buffer, recordSize);
    DWORD bytes = 0; // the first call is told the buffer holds nothing, to learn the count
    DWORD entries = 0;
    DWORD rc = RasEnumEntriesA(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(buffer.data()),
                               &bytes, &entries);
    if (rc == bufferTooSmall) {
        const size_t needed = std::max<size_t>(size_t(entries) * recordSize, bytes);
        buffer.assign(std::max<size_t>(needed, recordSize), 0);
        setFirstRecordSize(buffer, recordSize);
        rc = RasEnumEntriesA(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(buffer.data()),
                             &bytes, &entries);
        if (rc != 0) {
            result.outcome = DialupEntryLister::Outcome::ListFailed;
            return result;
        }
    }
    const size_t fits = buffer.size() / recordSize;
    for (size_t i = 0; i < entries && i < fits; ++i) {
        const char* name = buffer.data() + i * recordSize + nameOffset;
        result.names << QString::fromLocal8Bit(name, int(strnlen(name, nameRoom)));
    }
    return result;
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

DialupEntryLister::Result RasEntryLister::listEntries() {
    const int major = GetWindowsVersion();
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
