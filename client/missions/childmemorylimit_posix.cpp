#include "client/missions/childmemorylimit.h"

#include "client/foundation/sanitizers.h"

#include <QProcess>

#include <sys/resource.h>

ChildMemoryLimit::ChildMemoryLimit(qint64 bytes) : m_bytes(bytes) {}

ChildMemoryLimit::~ChildMemoryLimit() = default;

void ChildMemoryLimit::prepare(QProcess& process) {
#if SKYVANE_ADDRESS_SANITIZER
    // AddressSanitizer reserves terabytes of address space for its shadow memory: under an
    // address-space limit the worker could not start at all. Its own checks stand in for it.
    Q_UNUSED(process);
#else
    const rlim_t bytes = rlim_t(m_bytes);
    // Runs in the child between fork and exec: setrlimit only, nothing that allocates.
    process.setChildProcessModifier([bytes] {
        struct rlimit limit;
        limit.rlim_cur = bytes;
        limit.rlim_max = bytes;
        setrlimit(RLIMIT_AS, &limit);
    });
#endif
}

bool ChildMemoryLimit::attach(QProcess&) {
    return true;
}

ChildMemoryLimit::Use ChildMemoryLimit::systemUse() const {
    // The worker reports a refused allocation itself before it ends: nothing to ask here.
    return Use();
}
