#include "client/missions/mdbrowkeys.h"

#include <algorithm>

namespace Mdb {

namespace {

bool before(const RowKey& a, const RowKey& b) {
    if (a.day != b.day)
        return a.day < b.day;
    return a.seconds != b.seconds ? a.seconds < b.seconds : a.pageRow < b.pageRow;
}

} // namespace

quint32 RowKey::page() const {
    return pageRow >> 8;
}

int RowKey::row() const {
    return int(pageRow & 0xff);
}

RowKeys::RowKeys(size_t keysPerBlock) : m_keysPerBlock(std::max<size_t>(1, keysPerBlock)) {}

void RowKeys::add(const RowKey& key) {
    if (m_blocks.empty() || m_blocks.back().size() == m_keysPerBlock) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(m_keysPerBlock);
    }
    m_blocks.back().push_back(key);
    const quint32 page = key.page();
    m_firstPage = m_size == 0 ? page : std::min(m_firstPage, page);
    m_lastPage = m_size == 0 ? page : std::max(m_lastPage, page);
    ++m_size;
}

size_t RowKeys::size() const {
    return m_size;
}

quint32 RowKeys::firstPage() const {
    return m_firstPage;
}

quint32 RowKeys::lastPage() const {
    return m_lastPage;
}

void RowKeys::forEach(const std::function<void(const RowKey&)>& visit) const {
    for (const std::vector<RowKey>& block : m_blocks) {
        for (const RowKey& key : block)
            visit(key);
    }
}

// The heap keeps the block whose next key comes first on top.
bool RowKeys::laterCursor(const Cursor& a, const Cursor& b) {
    return before(*b.next, *a.next);
}

// Keys of equal dates and places cannot occur, so the order is total and sorting in place
// needs no second array as a stable sort does.
void RowKeys::sort() {
    m_cursors.clear();
    for (std::vector<RowKey>& block : m_blocks) {
        std::sort(block.begin(), block.end(), before);
        if (!block.empty())
            m_cursors.push_back(Cursor{block.data(), block.data() + block.size()});
    }
    std::make_heap(m_cursors.begin(), m_cursors.end(), laterCursor);
}

bool RowKeys::next(RowKey* key) {
    if (m_aheadCount == 0)
        fillAhead();
    if (m_aheadCount == 0)
        return false;
    *key = m_ahead[m_first];
    m_first = (m_first + 1) % Lookahead;
    --m_aheadCount;
    fillAhead();
    return true;
}

void RowKeys::fillAhead() {
    RowKey merged;
    while (m_aheadCount < Lookahead && merge(&merged))
        m_ahead[(m_first + m_aheadCount++) % Lookahead] = merged;
}

const RowKey* RowKeys::upcoming(int ahead) const {
    return ahead < m_aheadCount ? &m_ahead[(m_first + ahead) % Lookahead] : nullptr;
}

bool RowKeys::merge(RowKey* key) {
    if (m_cursors.empty())
        return false;
    std::pop_heap(m_cursors.begin(), m_cursors.end(), laterCursor);
    Cursor& cursor = m_cursors.back();
    *key = *cursor.next++;
    if (cursor.next == cursor.end)
        m_cursors.pop_back();
    else
        std::push_heap(m_cursors.begin(), m_cursors.end(), laterCursor);
    return true;
}

} // namespace Mdb
