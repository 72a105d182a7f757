#pragma once

#include <QString>

// An exclusive lock on a file, held by the system for this process until release() or the
// end of the process, however it ends: a copy that crashed or was killed holds nothing, and no
// waiting rule can let a second holder in while the first still runs, hung or not.
class InstanceLock {
public:
    enum class State {
        Held,          // this object holds the lock
        HeldElsewhere, // another process (or another object of this one) holds it
        Unavailable,   // the file cannot be opened or locked here at all
    };

    explicit InstanceLock(const QString& path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock without waiting; creates the file when it is missing.
    State tryLock();
    void release();
    bool isHeld() const;

private:
    QString m_path;
    qintptr m_handle = -1; // a file descriptor, or a Windows HANDLE
};
