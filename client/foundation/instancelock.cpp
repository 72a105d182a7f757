#include "client/foundation/instancelock.h"

// Taking and dropping the lock differ by system: instancelock_unix.cpp, instancelock_win.cpp.

InstanceLock::InstanceLock(const QString& path) : m_path(path) {}

InstanceLock::~InstanceLock() {
    release();
}

bool InstanceLock::isHeld() const {
    return m_handle != -1;
}
