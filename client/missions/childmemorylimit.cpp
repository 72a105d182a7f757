#include "client/missions/childmemorylimit.h"

bool ChildMemoryLimit::reached(bool endedBadly) const {
    const Use use = m_useQuery ? m_useQuery() : systemUse();
    // What a child made after an allocation was refused cannot be trusted, however it ended.
    if (use.refusedAtLimit)
        return true;
    // The report is not sure to arrive: for a child that ended badly a peak within an eighth of
    // the limit stands for it (the refused allocation is not in the peak, and the reading
    // library's runaway loops allocate in small steps).
    return endedBadly && m_bytes > 0 && use.peakBytes >= m_bytes - m_bytes / 8;
}

void ChildMemoryLimit::setUseQuery(std::function<Use()> query) {
    m_useQuery = std::move(query);
}
