#include "client/foundation/instancelock.h"

#include <windows.h>

namespace {
HANDLE asHandle(qintptr handle) {
    return reinterpret_cast<HANDLE>(handle);
}
} // namespace

InstanceLock::State InstanceLock::tryLock() {
    if (isHeld())
        return State::Held;
    // No FILE_SHARE_DELETE: the file cannot be deleted or renamed away while it is held.
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(m_path.utf16()),
                              GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return State::Unavailable;
    OVERLAPPED at = {};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        return error == ERROR_LOCK_VIOLATION ? State::HeldElsewhere : State::Unavailable;
    }
    m_handle = reinterpret_cast<qintptr>(file);
    return State::Held;
}

void InstanceLock::release() {
    if (!isHeld())
        return;
    CloseHandle(asHandle(m_handle)); // closing the handle drops the lock
    m_handle = -1;
}
