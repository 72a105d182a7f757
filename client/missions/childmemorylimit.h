#pragma once

#include <QtGlobal>

#include <functional>

class QProcess;

// Keeps a program the client starts under a memory ceiling, the way each platform allows: an
// address-space limit that the child takes on before it runs (POSIX), a job object (Windows).
class ChildMemoryLimit {
public:
    // What the system tells of the child's memory once it has ended.
    struct Use {
        bool refusedAtLimit = false; // the system reported an allocation refused at the limit
        qint64 peakBytes = 0;        // the most the child had committed; 0 when unknown
    };

    explicit ChildMemoryLimit(qint64 bytes);
    ~ChildMemoryLimit();
    ChildMemoryLimit(const ChildMemoryLimit&) = delete;
    ChildMemoryLimit& operator=(const ChildMemoryLimit&) = delete;

    // Before the process starts.
    void prepare(QProcess& process);
    // Once it has started; false when the limit could not be put in place.
    bool attach(QProcess& process);

    // Once the child has ended: whether it ran into the limit. Where the system only refuses
    // the allocation (Windows), the child may crash on it, or go on, before it can say so.
    bool reached(bool endedBadly) const;
    // For tests: answers in place of the system.
    void setUseQuery(std::function<Use()> query);

private:
    Use systemUse() const;

    qint64 m_bytes;
    std::function<Use()> m_useQuery;
    [[maybe_unused]] void* m_job = nullptr;  // the job object (Windows)
    [[maybe_unused]] void* m_port = nullptr; // the job's completion port, for its reports
};
