#include "client/missions/childmemorylimit.h"

#include <QProcess>

#include <windows.h>

ChildMemoryLimit::ChildMemoryLimit(qint64 bytes) : m_bytes(bytes) {}

ChildMemoryLimit::~ChildMemoryLimit() {
    // The job kills what is left of the worker when its last handle goes.
    if (m_job)
        CloseHandle(static_cast<HANDLE>(m_job));
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
