#pragma once

#include <QtGlobal>

#include <cstddef>
#include <vector>

namespace Mdb {

// Pages of a table kept for reading its rows again in date order. The reader tells the cache
// beforehand which pages it will come back to and how often, so that a page whose rows have all
// been read gives its room up at once, and the pages next to a missing one that are still to
// come can be read with it while there is room for them. Only when every slot holds a page still
// to come does the one used longest ago go.
class PageCache {
public:
    // bytes: the room for copies of pages; pages: the span of page numbers rows will come from.
    PageCache(size_t pageSize, size_t bytes, quint32 firstPage, quint32 lastPage);

    // One row will be read from page (within the span); all calls come before the first read.
    void expectRow(quint32 page);
    // The cached copy of a page, or nullptr.
    const unsigned char* find(quint32 page);
    // The cached copy of a page as find() gives it, but without counting as a use.
    const unsigned char* peek(quint32 page) const;
    // How many pages from a missing page on are worth one read (at most `most`): the page,
    // then each next one with rows to come that is not cached, while they fit without pushing
    // out a page with rows to come.
    quint32 runToRead(quint32 page, quint32 most) const;
    // Keeps a copy of the page and returns it; a full cache first drops a page no row needs any
    // more, else the one used longest ago.
    const unsigned char* add(quint32 page, const unsigned char* data);
    // A row of the page has been read; the last one frees the page's slot.
    void rowRead(quint32 page);

private:
    bool inSpan(quint32 page) const;
    int takeSlot();
    void unlink(int slot);
    void linkNewest(int slot);

    size_t m_pageSize;
    size_t m_capacity;
    quint32 m_firstPage;
    std::vector<unsigned char> m_pages;
    std::vector<quint16> m_rowsToCome; // per page of the span
    std::vector<int> m_slotOf;         // per page of the span; -1 when not cached
    std::vector<quint32> m_owner;      // per slot handed out so far
    std::vector<int> m_older;          // per slot: the list of slots in use, newest first
    std::vector<int> m_newer;
    std::vector<int> m_free; // slots whose page no row needs any more
    int m_newest = -1;
    int m_oldest = -1;
};

} // namespace Mdb
