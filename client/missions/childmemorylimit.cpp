#include "client/missions/childmemorylimit.h"

bool ChildMemoryLimit::reached() const {
    const Use use = m_useQuery ? m_useQuery() : systemUse();
    // A peak within an eighth of the limit counts as reaching it: the system's report is not
    // sure to arrive, the refused allocation is not in the peak, and the reading library's
    // runaway loops allocate in small steps.
    return use.refusedAtLimit || (m_bytes > 0 && use.peakBytes >= m_bytes - m_bytes / 8);
}

void ChildMemoryLimit::setUseQuery(std::function<Use()> query) {
    m_useQuery = std::move(query);
}
