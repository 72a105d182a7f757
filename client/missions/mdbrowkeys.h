#pragma once

#include <QtGlobal>

#include <cstddef>
#include <functional>
#include <vector>

namespace Mdb {

// What an ordered result keeps of each row: 12 bytes, the date as day and second (a 64-bit
// time would make it 16) and where the row lies (a row number of a page is below 256).
struct RowKey {
    qint32 day;
    qint32 seconds;
    quint32 pageRow; // page << 8 | row: sorts as page, then row
    quint32 page() const;
    int row() const;
};

// The keys of an ordered result, given back in date order; rows of equal dates keep their
// stored order, which is the order of page and row. The keys gather in blocks of a fixed size
// while the table is read: the row count of a table's definition may be wrong, and an array
// that grows would need its old and its new copy at once. Each block is sorted on its own and
// next() merges them, so no second array of keys is ever needed.
class RowKeys {
public:
    static constexpr size_t DefaultKeysPerBlock = 64 * 1024;
    // How far upcoming() looks ahead.
    static constexpr int Lookahead = 16;

    explicit RowKeys(size_t keysPerBlock = DefaultKeysPerBlock);

    void add(const RowKey& key);
    size_t size() const;
    // The lowest and the highest page of the keys (0 without keys).
    quint32 firstPage() const;
    quint32 lastPage() const;
    void forEach(const std::function<void(const RowKey&)>& visit) const;

    // After the last add: the keys are sorted and next() gives them in order.
    void sort();
    // The next key in date order; false after the last.
    bool next(RowKey* key);
    // A key still to come (0: the one the next call gives; ahead below Lookahead), or nullptr:
    // its page can be brought near the processor while the rows before it are written.
    const RowKey* upcoming(int ahead) const;

private:
    struct Cursor {
        const RowKey* next;
        const RowKey* end;
    };
    static bool laterCursor(const Cursor& a, const Cursor& b);
    bool merge(RowKey* key);
    void fillAhead();

    size_t m_keysPerBlock;
    std::vector<std::vector<RowKey>> m_blocks;
    size_t m_size = 0;
    quint32 m_firstPage = 0;
    quint32 m_lastPage = 0;
    std::vector<Cursor> m_cursors; // a heap with the block of the smallest next key on top
    RowKey m_ahead[Lookahead];     // the keys next() gives next, from m_first on
    int m_first = 0;
    int m_aheadCount = 0;
};

} // namespace Mdb
