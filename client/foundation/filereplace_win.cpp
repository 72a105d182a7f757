#include "client/foundation/filereplace.h"

#include <QDir>
#include <QThread>

#include <windows.h>

namespace {

constexpr int HeldOpenTries = 20;
constexpr int HeldOpenPauseMs = 100;

QString systemText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString out = text ? QString::fromWCharArray(text).trimmed()
                       : QStringLiteral("Windows error %1").arg(code);
    LocalFree(text);
    return out;
}

} // namespace

bool replaceFile(const QString& source, const QString& target, QString* error) {
    const std::wstring from = QDir::toNativeSeparators(source).toStdWString();
    const std::wstring to = QDir::toNativeSeparators(target).toStdWString();
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED;
    DWORD code = ERROR_SUCCESS;
    for (int attempt = 0; attempt < HeldOpenTries; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), flags))
            return true;
        code = GetLastError();
        const DWORD attributes = GetFileAttributesW(to.c_str());
        if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_READONLY)) {
            // The new file keeps the old one's permissions; only the old one is in the way.
            if (SetFileAttributesW(to.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY))) {
                if (MoveFileExW(from.c_str(), to.c_str(), flags))
                    return true;
                code = GetLastError();
                SetFileAttributesW(to.c_str(), attributes);
            }
        }
        // Another program has it open (without leaving it to be deleted): wait for it.
        if (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED &&
            code != ERROR_LOCK_VIOLATION)
            break;
        QThread::msleep(HeldOpenPauseMs);
    }
    *error = systemText(code);
    return false;
}
