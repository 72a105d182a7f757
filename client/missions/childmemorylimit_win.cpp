#include "client/missions/childmemorylimit.h"

#include <QProcess>

#include <windows.h>

ChildMemoryLimit::ChildMemoryLimit(qint64 bytes) : m_bytes(bytes) {}

ChildMemoryLimit::~ChildMemoryLimit() {
    // The job kills what is left of the worker when its last handle goes.
    if (m_job)
        CloseHandle(static_cast<HANDLE>(m_job));
    if (m_port)
        CloseHandle(static_cast<HANDLE>(m_port));
}

void ChildMemoryLimit::prepare(QProcess&) {}

bool ChildMemoryLimit::attach(QProcess& process) {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return false;
    m_job = job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
    info.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    info.ProcessMemoryLimit = SIZE_T(m_bytes);
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &info, sizeof info))
        return false;
    // The job reports a refused allocation through a completion port. Without one the peak
    // still tells, so a port that cannot be had costs no mission.
    if (HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {
        m_port = port;
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
        association.CompletionKey = job;
        association.CompletionPort = port;
        SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association,
                                sizeof association);
    }
    // The worker waits for a word from the client before it opens anything, so the limit is in
    // place before the first page is read.
    HANDLE child =
        OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, DWORD(process.processId()));
    if (!child)
        return false;
    const bool assigned = AssignProcessToJobObject(job, child) != 0;
    CloseHandle(child);
    return assigned;
}

ChildMemoryLimit::Use ChildMemoryLimit::systemUse() const {
    Use use;
    if (!m_job)
        return use;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
    if (QueryInformationJobObject(static_cast<HANDLE>(m_job), JobObjectExtendedLimitInformation,
                                  &info, sizeof info, nullptr))
        use.peakBytes = qint64(info.PeakProcessMemoryUsed);
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED detail = nullptr;
    // The reports wait in the port; the worker has ended, so none is still to come that matters.
    while (m_port &&
           GetQueuedCompletionStatus(static_cast<HANDLE>(m_port), &message, &key, &detail, 0)) {
        if (message == JOB_OBJECT_MSG_PROCESS_MEMORY_LIMIT)
            use.refusedAtLimit = true;
    }
    return use;
}
