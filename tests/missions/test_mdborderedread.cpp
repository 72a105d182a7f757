#include "client/missions/mdbpagecache.h"
#include "client/missions/mdbrowkeys.h"

#include <QtTest>

#include <vector>

class TestMdbOrderedRead : public QObject {
    Q_OBJECT
private slots:
    void keysComeInDateOrderAcrossBlocks();
    void cacheKeepsPagesWithRowsToCome();
};

void TestMdbOrderedRead::keysComeInDateOrderAcrossBlocks() {
    // day, seconds, page, row; equal dates come back in page and row order.
    const std::vector<Mdb::RowKey> stored = {
        {5, 0, 7u << 8 | 1},  {2, 30, 3u << 8 | 0}, {5, 0, 2u << 8 | 9}, {-3, 0, 9u << 8 | 0},
        {2, 10, 8u << 8 | 4}, {5, 0, 7u << 8 | 0},  {0, 0, 4u << 8 | 2},
    };
    Mdb::RowKeys keys(3);
    for (const Mdb::RowKey& key : stored)
        keys.add(key);
    keys.sort();
    QCOMPARE(keys.size(), stored.size());
    QCOMPARE(keys.firstPage(), 2u);
    QCOMPARE(keys.lastPage(), 9u);
    const std::vector<quint32> expected = {9u << 8 | 0, 4u << 8 | 2, 8u << 8 | 4, 3u << 8 | 0,
                                           2u << 8 | 9, 7u << 8 | 0, 7u << 8 | 1};
    std::vector<quint32> got;
    Mdb::RowKey key;
    while (keys.next(&key)) {
        // What comes next is known ahead.
        const size_t at = got.size();
        const Mdb::RowKey* soon = keys.upcoming(1);
        QCOMPARE(soon ? soon->pageRow : 0u, at + 2 < expected.size() ? expected[at + 2] : 0u);
        got.push_back(key.pageRow);
    }
    QCOMPARE(got, expected);
}

void TestMdbOrderedRead::cacheKeepsPagesWithRowsToCome() {
    constexpr size_t PageSize = 4;
    constexpr size_t Slots = 16;
    const auto page = [](quint32 n) {
        return std::vector<unsigned char>(PageSize, (unsigned char)n);
    };
    Mdb::PageCache cache(PageSize, Slots * PageSize, 100, 199);
    for (quint32 n = 100; n < 140; ++n)
        cache.expectRow(n);
    cache.expectRow(100);

    // A missing page is read with the following pages that rows need, as far as they fit.
    QCOMPARE(cache.runToRead(100, 8), 8u);
    QCOMPARE(cache.runToRead(100, 40), quint32(Slots));
    QCOMPARE(cache.runToRead(139, 8), 1u); // page 140 has no rows to come
    for (quint32 n = 100; n < 100 + Slots; ++n)
        QCOMPARE(cache.add(n, page(n).data())[0], (unsigned char)n);
    QCOMPARE(cache.runToRead(120, 8), 1u); // no room left without pushing a page out
    QCOMPARE(cache.find(105)[1], (unsigned char)105);

    // The last row of a page frees its slot at once; the page with a row left stays.
    cache.rowRead(101);
    cache.rowRead(102);
    cache.rowRead(100);
    QVERIFY(!cache.find(101) && !cache.find(102));
    QVERIFY(cache.find(100));
    QCOMPARE(cache.runToRead(120, 8), 2u);
    QCOMPARE(cache.runToRead(114, 8), 1u); // page 115 is cached

    // Full of pages with rows to come: the one used longest ago goes.
    cache.add(120, page(120).data());
    cache.add(121, page(121).data());
    cache.add(122, page(122).data());
    QVERIFY(!cache.find(103));
    QVERIFY(cache.find(100) && cache.find(104) && cache.find(105));
    QCOMPARE(cache.find(122)[0], (unsigned char)122);
}

QTEST_GUILESS_MAIN(TestMdbOrderedRead)
#include "test_mdborderedread.moc"
