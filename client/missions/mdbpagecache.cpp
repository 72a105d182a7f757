#include "client/missions/mdbpagecache.h"

#include <algorithm>
#include <cstring>

namespace Mdb {

PageCache::PageCache(size_t pageSize, size_t bytes, quint32 firstPage, quint32 lastPage)
    : m_pageSize(pageSize), m_capacity(std::max<size_t>(16, bytes / pageSize)),
      m_firstPage(firstPage), m_rowsToCome(size_t(lastPage - firstPage) + 1, 0),
      m_slotOf(size_t(lastPage - firstPage) + 1, -1) {
    m_pages.reserve(m_capacity * m_pageSize);
}

bool PageCache::inSpan(quint32 page) const {
    return page >= m_firstPage && page - m_firstPage < m_slotOf.size();
}

void PageCache::expectRow(quint32 page) {
    quint16& rows = m_rowsToCome[page - m_firstPage];
    if (rows < 0xffff)
        ++rows;
}

const unsigned char* PageCache::find(quint32 page) {
    const unsigned char* copy = peek(page);
    const int slot = copy ? m_slotOf[page - m_firstPage] : -1;
    if (copy && slot != m_newest) {
        unlink(slot);
        linkNewest(slot);
    }
    return copy;
}

const unsigned char* PageCache::peek(quint32 page) const {
    if (!inSpan(page) || m_slotOf[page - m_firstPage] < 0)
        return nullptr;
    return m_pages.data() + size_t(m_slotOf[page - m_firstPage]) * m_pageSize;
}

quint32 PageCache::runToRead(quint32 page, quint32 most) const {
    size_t room = m_free.size() + (m_capacity - m_owner.size());
    room = room > 0 ? room - 1 : 0; // the page itself takes a slot in any case
    quint32 run = 1;
    for (quint32 next = page + 1; run < most && room > 0 && inSpan(next); ++next, ++run, --room) {
        if (m_rowsToCome[next - m_firstPage] == 0 || m_slotOf[next - m_firstPage] >= 0)
            break;
    }
    return run;
}

const unsigned char* PageCache::add(quint32 page, const unsigned char* data) {
    const int slot = takeSlot();
    m_owner[size_t(slot)] = page;
    m_slotOf[page - m_firstPage] = slot;
    linkNewest(slot);
    unsigned char* copy = m_pages.data() + size_t(slot) * m_pageSize;
    std::memcpy(copy, data, m_pageSize);
    return copy;
}

void PageCache::rowRead(quint32 page) {
    if (!inSpan(page))
        return;
    quint16& rows = m_rowsToCome[page - m_firstPage];
    if (rows > 0)
        --rows;
    int& slot = m_slotOf[page - m_firstPage];
    if (rows == 0 && slot >= 0) {
        unlink(slot);
        m_free.push_back(slot);
        slot = -1;
    }
}

int PageCache::takeSlot() {
    if (!m_free.empty()) {
        const int slot = m_free.back();
        m_free.pop_back();
        return slot;
    }
    if (m_owner.size() < m_capacity) {
        const int slot = int(m_owner.size());
        m_pages.resize((m_owner.size() + 1) * m_pageSize);
        m_owner.push_back(0);
        m_older.push_back(-1);
        m_newer.push_back(-1);
        return slot;
    }
    // Every slot holds a page with rows to come: the one used longest ago is read again later.
    const int slot = m_oldest;
    unlink(slot);
    m_slotOf[m_owner[size_t(slot)] - m_firstPage] = -1;
    return slot;
}

void PageCache::unlink(int slot) {
    const int older = m_older[size_t(slot)];
    const int newer = m_newer[size_t(slot)];
    if (older >= 0)
        m_newer[size_t(older)] = newer;
    else
        m_oldest = newer;
    if (newer >= 0)
        m_older[size_t(newer)] = older;
    else
        m_newest = older;
}

void PageCache::linkNewest(int slot) {
    m_older[size_t(slot)] = m_newest;
    m_newer[size_t(slot)] = -1;
    if (m_newest >= 0)
        m_newer[size_t(m_newest)] = slot;
    m_newest = slot;
    if (m_oldest < 0)
        m_oldest = slot;
}

} // namespace Mdb
