#include "tests/support/hostsystem.h"

#include "client/foundation/sanitizers.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h.
#include <psapi.h>
#endif

namespace HostSystem {

namespace {
const char* const DebianPython = "/usr/bin/python3";

#ifdef Q_OS_WIN
// wine's own conversions between its drives and the Linux file system (kernel32 exports).
using ToUnix = char*(CDECL*)(LPCWSTR);
using ToDos = WCHAR*(CDECL*)(LPCSTR);

FARPROC wineCall(const char* name) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? GetProcAddress(kernel, name) : nullptr;
}

// Both results are allocated on the process heap by wine.
QString toUnix(const QString& path) {
    const auto call =
        reinterpret_cast<ToUnix>(reinterpret_cast<void*>(wineCall("wine_get_unix_file_name")));
    char* unix =
        call ? call(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16())) : nullptr;
    if (!unix)
        return path;
    const QString out = QString::fromUtf8(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

QString toDos(const char* unixPath) {
    const auto call =
        reinterpret_cast<ToDos>(reinterpret_cast<void*>(wineCall("wine_get_dos_file_name")));
    WCHAR* dos = call ? call(unixPath) : nullptr;
    if (!dos)
        return QString::fromLatin1(unixPath);
    const QString out = QString::fromWCharArray(dos);
    HeapFree(GetProcessHeap(), 0, dos);
    return out;
}
#endif
} // namespace

bool underWine() {
#ifdef Q_OS_WIN
    return wineCall("wine_get_unix_file_name") != nullptr;
#else
    return false;
#endif
}

QString tlsResumptionProblem() {
    // libcurl hands every connection the same Schannel credentials, which Windows resumes
    // sessions with; wine's Schannel resumes none.
    return underWine() ? QStringLiteral("wine's Schannel does not resume TLS sessions") : QString();
}

QString python() {
#ifdef Q_OS_WIN
    // wine starts a Linux program named by its drive path; on Windows itself, the one on PATH.
    return underWine() ? toDos(DebianPython) : QStringLiteral("python.exe");
#else
    return QString::fromLatin1(DebianPython);
#endif
}

QString hostPath(const QString& path) {
#ifdef Q_OS_WIN
    if (underWine())
        return toUnix(QDir(path).absolutePath());
#endif
    return path;
}

qint64 peakMemoryKb(qint64 pid) {
#ifdef Q_OS_WIN
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return 0;
    PROCESS_MEMORY_COUNTERS counters = {};
    const bool known = K32GetProcessMemoryInfo(process, &counters, sizeof counters);
    CloseHandle(process);
    return known ? qint64(counters.PeakWorkingSetSize / 1024) : 0;
#else
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
#endif
}

QString memoryBoundSkipReason() {
    if (SKYVANE_ADDRESS_SANITIZER)
        return QStringLiteral("the memory bound: AddressSanitizer's shadow and quarantine cost "
                              "more than the bound");
    if (underWine())
        return QStringLiteral("the memory bound: under wine the working set holds wine's own "
                              "libraries too");
    return QString();
}

} // namespace HostSystem
