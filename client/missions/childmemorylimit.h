#pragma once

#include <QtGlobal>

class QProcess;

// Keeps a program the client starts under a memory ceiling, the way each platform allows: an
// address-space limit that the child takes on before it runs (POSIX), a job object (Windows).
class ChildMemoryLimit {
public:
    explicit ChildMemoryLimit(qint64 bytes);
    ~ChildMemoryLimit();
    ChildMemoryLimit(const ChildMemoryLimit&) = delete;
    ChildMemoryLimit& operator=(const ChildMemoryLimit&) = delete;

    // Before the process starts.
    void prepare(QProcess& process);
    // Once it has started; false when the limit could not be put in place.
    bool attach(QProcess& process);

private:
    qint64 m_bytes;
    [[maybe_unused]] void* m_job = nullptr; // the job object (Windows)
};
