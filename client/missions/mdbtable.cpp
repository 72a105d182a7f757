#include "client/missions/mdbtable.h"

#include "client/foundation/datetext.h"
#include "client/missions/mdbpagecache.h"
#include "client/missions/mdbpagefile.h"
#include "client/missions/mdbpages.h"
#include "client/missions/mdbrowkeys.h"
#include "client/missions/mdbvalues.h"
#include "client/missions/valuetext.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_set>

namespace Mdb {

namespace {

using Stored::SecondsPerDay;
using Stored::timeLine;
using Stored::ZeroDateJulianDay;

// A stored date: days from 12/30/1899 (negative before it) with the time of day as the
// fraction, which counts forward from midnight whatever the sign of the day.
struct StoredDate {
    qint64 day = 0;
    int seconds = 0;
};

bool decodeDate(double value, StoredDate* out) {
    // Outside the years 100 to 9999 the value is not a date the engine would have stored.
    if (!std::isfinite(value) || value < -657435.0 || value >= 2958466.0)
        return false;
    const double whole = std::trunc(value);
    qint64 day = qint64(whole);
    qint64 seconds = std::llround(std::fabs(value - whole) * double(SecondsPerDay));
    if (seconds >= SecondsPerDay) {
        seconds -= SecondsPerDay;
        ++day;
    }
    out->day = day;
    out->seconds = int(seconds);
    return true;
}

// Seconds on one time line, so that dates before 1899 compare in calendar order too. Values
// are compared to the second, the precision at which they are written.
qint64 timeLine(const StoredDate& date) {
    return date.day * SecondsPerDay + date.seconds;
}

QDateTime toDateTime(const StoredDate& date) {
    return QDateTime(QDate::fromJulianDay(ZeroDateJulianDay + date.day),
                     QTime::fromMSecsSinceStartOfDay(date.seconds * 1000), Qt::UTC);
}

// A hint that memory is about to be read: rows read in date order lie on pages all over the
// cache, and waiting for each of them cost more than cracking the row.
void prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#else
    Q_UNUSED(address);
#endif
}

// Room for copies of the table's pages while its rows are read again in date order.
constexpr size_t PageCacheBytes = 8 * 1024 * 1024;
// A page missing from the cache is read together with the pages after it that rows still
// need, up to this many: one read instead of one for each page.
constexpr quint32 MostPagesPerRead = 32;

// The fewest bytes a non-null value of a fixed-size type takes; memos and OLE values start with
// a header of their own. A calculated decimal has a form of its own.
int minimumSize(int type, bool calculated = false) {
    switch (type) {
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_COMPLEX:
    case MDB_FLOAT:
        return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case Stored::BigIntType:
        return 8;
    case MDB_MEMO:
    case MDB_OLE:
        return MDB_MEMO_OVERHEAD;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return calculated ? 16 : 17;
    default:
        return 0;
    }
}

} // namespace

struct Table::Impl {
    // What a column's values are: their type (a calculated column's result type, -1 when it is
    // not known) and whether they come wrapped as calculated values.
    struct ColumnInfo {
        int type = 0;
        bool calculated = false;
    };

    // A value of the row read last, a calculated one taken out of its wrapper.
    struct View {
        int type = 0;
        const char* data = nullptr;
        int size = 0;
        bool null = true;
        bool yes = false; // a yes/no value
    };

    MdbHandle* mdb = nullptr;
    PageFile* pages = nullptr; // null: libmdb reads each page
    MdbTableDef* table = nullptr;
    PageFormat format;
    std::function<void()> onPageRead;
    std::vector<ColumnInfo> info;

    int startColumn = -1; // table column of each limit, -1 when not used
    int endColumn = -1;
    qint64 startLimit = 0;
    qint64 endLimit = 0;
    RowKeys keys;
    std::unique_ptr<PageCache> cache;
    std::vector<unsigned char> pagesRead; // pages read together, before they go to the cache

    // Stored-order scan: the pages of the table's page map in rising order.
    quint32 scanPage = 0;
    std::vector<unsigned char> mapPage; // the page of the map read last, when it has pages
    quint32 mapPageNumber = 0;
    bool onPage = false;
    int rowsOnPage = 0;
    int nextRow = 0;
    bool scanDone = false;
    qint64 rowsSeen = 0;

    QString error;
    MdbField fields[MDB_MAX_COLS];
    quint32 place = 0; // of the row read last: page << 8 | row
    RowSpan rowSpan;
    std::vector<unsigned char> rowCopy; // a row read by its place keeps its bytes here
    std::vector<char> textBuffer;
    QByteArray longValue;

    ~Impl() {
        if (table)
            mdb_free_tabledef(table);
    }

    MdbColumn* column(int tableColumn) const {
        return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, tableColumn));
    }

    QString tableName() const {
        return QString::fromUtf8(table->name);
    }

    // Keeps the first reason reading failed; always false.
    bool fail(const QString& text) {
        if (error.isEmpty())
            error = text;
        return false;
    }

    bool damagedRow(int row, quint32 page) {
        return fail(QStringLiteral("row %1 of page %2 of table '%3' is damaged")
                        .arg(row)
                        .arg(page)
                        .arg(tableName()));
    }

    // Reads a page of the table into mdb->pg_buf; false (with the error) when it cannot be read
    // or is not one of the table's data pages.
    // With ahead (a scan in page order) the following pages are read at the same time.
    bool loadPage(quint32 page, bool ahead) {
        if (onPageRead)
            onPageRead();
        const bool read = pages ? pages->read(page, mdb->pg_buf, ahead)
                                : mdb_read_pg(mdb, page) == ssize_t(format.pageSize);
        if (pages && read)
            mdb->cur_pg = page;
        if (!read)
            return unreadable(page);
        return checkPage(page, mdb->pg_buf);
    }

    bool unreadable(quint32 page) {
        return fail(
            QStringLiteral("page %1 of table '%2' cannot be read").arg(page).arg(tableName()));
    }

    // False (with the error) for a page that is not one of the table's data pages.
    bool checkPage(quint32 page, const unsigned char* data) {
        if (!Pages::isDataPageOf(format, data, quint32(table->entry->table_pg)))
            return fail(QStringLiteral("page %1 of table '%2' is not one of its data pages")
                            .arg(page)
                            .arg(tableName()));
        if (Pages::rowCount(format, data) < 0)
            return fail(QStringLiteral("page %1 of table '%2' has a damaged row table")
                            .arg(page)
                            .arg(tableName()));
        return true;
    }

    // True when every value the row gives lies inside the row and has its type's size.
    bool fieldsFit(const RowSpan& span) const {
        for (unsigned int i = 0; i < table->num_cols; ++i) {
            const MdbField& f = fields[i];
            const int type = column(int(i))->col_type;
            if (type == MDB_BOOL || f.is_null)
                continue;
            if (!f.value || f.siz < minimumSize(type) || f.start < span.start ||
                f.start + f.siz > span.start + span.size)
                return false;
        }
        return true;
    }

    // Cracks row number `row` of a page (in mdb->pg_buf, or a copy of it) into fields. libmdb
    // reads rows from mdb->pg_buf: from a copy only the row's own bytes go there, at their
    // place on the page.
    RowState crackRow(int row, quint32 page, const unsigned char* data) {
        RowSpan span;
        const RowState state = Pages::findRow(format, data, row, &span);
        if (state == RowState::Deleted)
            return state;
        if (state == RowState::Damaged ||
            !Pages::rowHeaderFits(format, data, span, table->num_var_cols > 0)) {
            damagedRow(row, page);
            return RowState::Damaged;
        }
        if (data != mdb->pg_buf)
            std::memcpy(mdb->pg_buf + span.start, data + span.start, size_t(span.size));
        if (mdb_crack_row(table, span.start, size_t(span.size), fields) < 0 || !fieldsFit(span)) {
            damagedRow(row, page);
            return RowState::Damaged;
        }
        place = page << 8 | quint32(row);
        rowSpan = span;
        return RowState::Present;
    }

    // The first page of the table's page map after `after`: 0 after the last, -1 when the map
    // cannot be read. A map kept on pages of its own is walked as libmdb walks it, but each of
    // its pages is read once: libmdb reads it again for every page it finds, a size check, two
    // seeks and a read for each page of the table.
    qint64 nextMappedPage(quint32 after) {
        const unsigned char* map = table->usage_map;
        if (map[0] != 1)
            return mdb_map_find_next(mdb, table->usage_map, unsigned(table->map_sz), after);
        const quint32 bitsPerPage = quint32(format.pageSize - 4) * 8;
        const quint32 mapPages = quint32(table->map_sz - 1) / 4;
        quint32 offset = (after + 1) % bitsPerPage;
        for (quint32 index = (after + 1) / bitsPerPage; index < mapPages; ++index, offset = 0) {
            const quint32 page = qFromLittleEndian<quint32>(map + index * 4 + 1);
            if (page == 0)
                continue;
            if (!readMapPage(page))
                return -1;
            const unsigned char* bits = mapPage.data() + 4;
            for (quint32 i = offset; i < bitsPerPage; ++i) {
                if (bits[i / 8] & (1u << (i % 8)))
                    return qint64(index) * bitsPerPage + i;
            }
        }
        return 0;
    }

    bool readMapPage(quint32 page) {
        if (mapPageNumber == page && !mapPage.empty())
            return true;
        mapPage.resize(size_t(format.pageSize));
        mapPageNumber = page;
        const bool read = pages ? pages->read(page, mapPage.data(), false)
                                : mdb_read_alt_pg(mdb, page) == ssize_t(format.pageSize);
        if (!read) {
            mapPage.clear();
            return false;
        }
        if (!pages)
            std::memcpy(mapPage.data(), mdb->alt_pg_buf, mapPage.size());
        return true;
    }

    // The next page of the page map in mdb->pg_buf; false at the end or on an error.
    bool nextPage() {
        if (table->map_sz < 5)
            return fail(
                QStringLiteral("the page map of table '%1' cannot be read").arg(tableName()));
        const qint64 next = nextMappedPage(scanPage);
        if (next == 0)
            return false;
        if (next < 0 || next > std::numeric_limits<gint32>::max())
            return fail(
                QStringLiteral("the page map of table '%1' cannot be read").arg(tableName()));
        // The map lists pages in rising order; anything else is a damaged map, not a table.
        if (quint32(next) <= scanPage)
            return fail(QStringLiteral("the page chain of table '%1' loops at page %2")
                            .arg(tableName())
                            .arg(next));
        scanPage = quint32(next);
        if (!loadPage(scanPage, true))
            return false;
        rowsOnPage = Pages::rowCount(format, mdb->pg_buf);
        nextRow = 0;
        return true;
    }

    // The next row in stored order, cracked. Sets error when the table is damaged or ends
    // before the row count its definition gives.
    bool scanNext(quint32* page, quint16* row) {
        while (!scanDone) {
            if (!onPage) {
                if (!nextPage()) {
                    scanDone = true;
                    if (error.isEmpty() && rowsSeen < qint64(table->num_rows))
                        fail(QStringLiteral("table '%1' ends after %2 of its %3 rows")
                                 .arg(tableName())
                                 .arg(rowsSeen)
                                 .arg(table->num_rows));
                    return false;
                }
                onPage = true;
            }
            if (nextRow >= rowsOnPage) {
                onPage = false;
                continue;
            }
            const int r = nextRow++;
            const RowState state = crackRow(r, scanPage, mdb->pg_buf);
            if (state == RowState::Damaged) {
                scanDone = true;
                return false;
            }
            if (state == RowState::Present) {
                ++rowsSeen;
                *page = scanPage;
                *row = quint16(r);
                return true;
            }
        }
        return false;
    }

    bool dateOf(int tableColumn, StoredDate* out) {
        View v;
        if (!view(tableColumn, &v) || v.null)
            return false;
        if (v.type == MDB_DATETIME)
            return decodeDate(qFromLittleEndian<double>(v.data), out);
        Stored::ExtendedDate date;
        if (v.type != Stored::ExtendedDateType || !Stored::parseExtendedDate(v.data, v.size, &date))
            return false;
        out->day = date.date.toJulianDay() - ZeroDateJulianDay;
        out->seconds = date.time.msecsSinceStartOfDay() / 1000;
        return true;
    }

    bool matches() {
        StoredDate date;
        if (startColumn >= 0 && (!dateOf(startColumn, &date) || timeLine(date) < startLimit))
            return false;
        if (endColumn >= 0 && (!dateOf(endColumn, &date) || timeLine(date) > endLimit))
            return false;
        return true;
    }

    // Reads the rows that match, keeps their keys and sorts them on the ordering column.
    bool collectKeys() {
        const int orderColumn = startColumn >= 0 ? startColumn : endColumn;
        quint32 page = 0;
        quint16 row = 0;
        while (scanNext(&page, &row)) {
            if (!matches())
                continue;
            if (row > 0xff || page > 0xffffff)
                return damagedRow(row, page);
            StoredDate date;
            dateOf(orderColumn, &date);
            keys.add(RowKey{qint32(date.day), date.seconds, page << 8 | row});
        }
        if (!error.isEmpty())
            return false;
        keys.sort();
        if (keys.size() > 0) {
            cache = std::make_unique<PageCache>(size_t(format.pageSize), PageCacheBytes,
                                                keys.firstPage(), keys.lastPage());
            keys.forEach([this](const RowKey& key) { cache->expectRow(key.page()); });
        }
        return true;
    }

    // Puts a page missing from the cache there, with the pages after it that rows still need
    // as far as they fit: rows of neighbouring dates mostly lie on neighbouring pages.
    const unsigned char* cachePage(quint32 page) {
        const quint32 run = pages ? cache->runToRead(page, MostPagesPerRead) : 1;
        if (run == 1) {
            if (!loadPage(page, false))
                return nullptr;
            return cache->add(page, mdb->pg_buf);
        }
        pagesRead.resize(size_t(run) * size_t(format.pageSize));
        if (onPageRead)
            onPageRead();
        const quint32 got = pages->readPages(page, run, pagesRead.data());
        if (got == 0) {
            unreadable(page);
            return nullptr;
        }
        if (!checkPage(page, pagesRead.data()))
            return nullptr;
        const unsigned char* copy = cache->add(page, pagesRead.data());
        // A page after it that is damaged stays out; reading it on its own tells why.
        for (quint32 i = 1; i < got; ++i) {
            if (onPageRead)
                onPageRead();
            const unsigned char* data = pagesRead.data() + size_t(i) * size_t(format.pageSize);
            if (Pages::isDataPageOf(format, data, quint32(table->entry->table_pg)) &&
                Pages::rowCount(format, data) >= 0)
                cache->add(page + i, data);
        }
        return copy;
    }

    // Brings near the processor what the rows a few keys ahead will read: first the start of
    // their page with its table of rows, a few keys later (when that has come) the row itself.
    void prefetchUpcoming() {
        const RowKey* far = keys.upcoming(RowKeys::Lookahead - 1);
        const unsigned char* page = far ? cache->peek(far->page()) : nullptr;
        const int entry = far ? format.rowCountOffset + 2 + 2 * far->row() : 0;
        if (page) {
            prefetch(page);
            prefetch(page + entry);
        }
        const RowKey* near = keys.upcoming(RowKeys::Lookahead / 2);
        page = near ? cache->peek(near->page()) : nullptr;
        RowSpan span;
        // The row's entry lies inside the page whatever the page holds (rows are below 256).
        if (page && Pages::findRow(format, page, near->row(), &span) == RowState::Present) {
            prefetch(page + span.start);
            prefetch(page + span.start + span.size / 2);
            prefetch(page + span.start + span.size - 1);
        }
    }

    // Cracks the row of a key from the cached copy of its page: copying the whole page for
    // each row cost more than all the rest of reading it again.
    bool fetch(const RowKey& key) {
        prefetchUpcoming();
        const quint32 page = key.page();
        const int row = key.row();
        const unsigned char* data = cache->find(page);
        if (!data && !(data = cachePage(page)))
            return false;
        if (row >= Pages::rowCount(format, data) || crackRow(row, page, data) != RowState::Present)
            return damagedRow(row, page);
        cache->rowRead(page);
        return true;
    }

    // One row of a long value's page, read into mdb->alt_pg_buf: its bytes and length.
    bool longValueRow(quint32 pageRow, const char** data, int* length) {
        const quint32 page = pageRow >> 8;
        const int row = int(pageRow & 0xff);
        if (onPageRead)
            onPageRead();
        if (page == 0 || mdb_read_alt_pg(mdb, page) != ssize_t(format.pageSize))
            return false;
        const unsigned char* buffer = mdb->alt_pg_buf;
        RowSpan span;
        if (!Pages::isDataPage(buffer) || row >= Pages::rowCount(format, buffer) ||
            Pages::findRow(format, buffer, row, &span) != RowState::Present)
            return false;
        *data = reinterpret_cast<const char*>(buffer) + span.start;
        *length = span.size;
        return true;
    }

    // The bytes of a memo or OLE value: inline, on one other page, or in a chain of pages.
    // False (with the error) when the value is damaged.
    bool readLongValue(const char* p, int size) {
        longValue.clear();
        const quint32 header = quint32(mdb_get_int32(const_cast<char*>(p), 0));
        const quint32 total = header & 0x3fffffffu;
        const auto damaged = [&] {
            return fail(QStringLiteral("a long value in table '%1' is damaged").arg(tableName()));
        };
        if (header & 0x80000000u) {
            longValue.append(p + MDB_MEMO_OVERHEAD, size - MDB_MEMO_OVERHEAD);
            return true;
        }
        quint32 pageRow = quint32(mdb_get_int32(const_cast<char*>(p), 4));
        const char* data = nullptr;
        int length = 0;
        if (header & 0x40000000u) {
            if (!longValueRow(pageRow, &data, &length) || quint32(length) < total)
                return damaged();
            longValue.append(data, int(total));
            return true;
        }
        if (header & 0xff000000u)
            return damaged();
        // Each link holds the next link in its first four bytes; the chain must neither end
        // early nor come back to a link it has passed.
        std::unordered_set<quint32> seen;
        while (quint32(longValue.size()) < total) {
            if (pageRow == 0 || !seen.insert(pageRow).second ||
                !longValueRow(pageRow, &data, &length) || length <= 4)
                return damaged();
            const int wanted =
                int(std::min<quint32>(quint32(length - 4), total - quint32(longValue.size())));
            longValue.append(data + 4, wanted);
            pageRow = quint32(mdb_get_int32(const_cast<char*>(data), 0));
        }
        return true;
    }

    // Text that is plain ASCII in either form is the same in UTF-8: most values are, and they
    // need no character set conversion. False (nothing appended) for any other text.
    bool appendPlainAscii(QByteArray& out, const char* data, size_t size) const {
        const auto* b = reinterpret_cast<const unsigned char*>(data);
        if (format.jet3 || (size >= 2 && b[0] == 0xff && b[1] == 0xfe)) {
            // One byte per character (Jet 4's compressed form after its mark; a zero byte in
            // it switches to two bytes per character).
            const size_t from = format.jet3 ? 0 : 2;
            for (size_t i = from; i < size; ++i) {
                if (b[i] == 0 || b[i] >= 0x80)
                    return false;
            }
            out.append(data + from, int(size - from));
            return true;
        }
        if (size % 2 != 0)
            return false;
        const int start = out.size();
        out.resize(start + int(size / 2));
        char* to = out.data() + start;
        for (size_t i = 0; i < size; i += 2) {
            if (b[i] == 0 || b[i] >= 0x80 || b[i + 1] != 0) {
                out.truncate(start);
                return false;
            }
            *to++ = char(b[i]);
        }
        return true;
    }

    // Text of the database (Jet 3 code page or Jet 4 UCS-2, maybe compressed) as UTF-8. Jet 4
    // text is decoded here: built with iconv, the library makes two "?" of a character beyond
    // 16 bits, and one elsewhere.
    void appendDatabaseText(QByteArray& out, const char* data, size_t size) {
        if (size == 0 || appendPlainAscii(out, data, size))
            return;
        if (!format.jet3) {
            Stored::appendJet4Text(out, data, size);
            return;
        }
        // UTF-8 takes at most three bytes for each byte of either form.
        const size_t capacity = size * 4 + 16;
        if (textBuffer.size() < capacity)
            textBuffer.resize(capacity);
        const int length = mdb_unicode2ascii(mdb, data, size, textBuffer.data(), textBuffer.size());
        out.append(textBuffer.data(), length);
    }

    QString columnName(int tableColumn) const {
        return QString::fromUtf8(column(tableColumn)->name);
    }

    bool damagedValue(int tableColumn) {
        return fail(QStringLiteral("a calculated value of column '%1' in table '%2' is damaged")
                        .arg(columnName(tableColumn), tableName()));
    }

    bool noText(int tableColumn) {
        const MdbColumn* col = column(tableColumn);
        const char* resultType = mdb_col_get_prop(col, "ResultType");
        if (info[size_t(tableColumn)].calculated && resultType)
            return fail(
                QStringLiteral("calculated column '%1' of table '%2' has results of type "
                               "%3, which cannot be turned into text")
                    .arg(columnName(tableColumn), tableName(), QString::fromUtf8(resultType)));
        return fail(QStringLiteral("column '%1' of table '%2' holds values of type %3, which "
                                   "cannot be turned into text")
                        .arg(columnName(tableColumn), tableName())
                        .arg(col->col_type));
    }

    // False (with the error) when a calculated value's wrapper is damaged.
    bool view(int tableColumn, View* v) {
        const ColumnInfo& c = info[size_t(tableColumn)];
        const MdbField& f = fields[tableColumn];
        v->type = c.type;
        if (!c.calculated) {
            // A yes/no value lives in the null bit of the row.
            v->yes = !f.is_null;
            v->null = c.type != MDB_BOOL && (f.is_null || !f.value);
            v->data = static_cast<const char*>(f.value);
            v->size = f.siz;
            return true;
        }
        v->null = f.is_null || !f.value;
        if (v->null)
            return true;
        if (!Stored::unwrapCalculated(static_cast<const char*>(f.value), f.siz, &v->data, &v->size))
            return damagedValue(tableColumn);
        // An empty result is an empty text, or no value at all.
        const bool text = c.type == MDB_TEXT || c.type == MDB_MEMO;
        v->null = v->size == 0 && !text;
        if (!v->null && v->size < minimumSize(c.type, true))
            return damagedValue(tableColumn);
        v->yes = !v->null && std::any_of(v->data, v->data + v->size, [](char b) { return b; });
        return true;
    }

    void appendValue(int tableColumn, QByteArray& out) {
        View v;
        if (!view(tableColumn, &v))
            return;
        if (v.type == MDB_BOOL) {
            if (!v.null)
                out.append(v.yes ? "True" : "False");
            return;
        }
        if (v.null)
            return;
        const char* p = v.data;
        const bool calculated = info[size_t(tableColumn)].calculated;
        switch (v.type) {
        case MDB_BYTE:
            ValueText::appendInteger(out, quint8(p[0]));
            break;
        case MDB_INT:
            ValueText::appendInteger(out, qFromLittleEndian<qint16>(p));
            break;
        case MDB_LONGINT:
        case MDB_COMPLEX:
            ValueText::appendInteger(out, qFromLittleEndian<qint32>(p));
            break;
        case Stored::BigIntType:
            ValueText::appendInteger(out, qFromLittleEndian<qint64>(p));
            break;
        case MDB_MONEY:
            ValueText::appendCurrency(out, qFromLittleEndian<qint64>(p));
            break;
        case MDB_FLOAT:
            ValueText::appendSingle(out, qFromLittleEndian<float>(p));
            break;
        case MDB_DOUBLE:
            ValueText::appendDouble(out, qFromLittleEndian<double>(p));
            break;
        case MDB_DATETIME: {
            StoredDate date;
            if (decodeDate(qFromLittleEndian<double>(p), &date))
                DateText::appendDateValue(out, QDate::fromJulianDay(ZeroDateJulianDay + date.day),
                                          QTime::fromMSecsSinceStartOfDay(date.seconds * 1000));
            break;
        }
        case Stored::ExtendedDateType: {
            Stored::ExtendedDate date;
            if (!Stored::parseExtendedDate(p, v.size, &date))
                damagedValue(tableColumn);
            else
                DateText::appendExtendedDateValue(out, date.date, date.time, date.tenMillionths);
            break;
        }
        case MDB_TEXT:
            appendDatabaseText(out, p, size_t(v.size));
            break;
        case MDB_MEMO:
            // A calculated memo holds its text itself.
            if (calculated)
                appendDatabaseText(out, p, size_t(v.size));
            else if (readLongValue(p, v.size))
                appendDatabaseText(out, longValue.constData(), size_t(longValue.size()));
            break;
        case MDB_OLE:
            if (readLongValue(p, v.size))
                ValueText::appendHex(out, longValue.constData(), int(longValue.size()));
            break;
        case MDB_BINARY:
            ValueText::appendHex(out, p, v.size);
            break;
        case MDB_REPID:
            ValueText::appendGuid(out, reinterpret_cast<const unsigned char*>(p));
            break;
        case MDB_NUMERIC: {
            Stored::Decimal value;
            const auto* bytes = reinterpret_cast<const unsigned char*>(p);
            if (calculated
                    ? Stored::readCalculatedDecimal(bytes, v.size, &value)
                    : Stored::readNumeric(bytes, v.size, column(tableColumn)->col_prec, &value))
                ValueText::appendDecimal(out, value.words, value.scale, value.negative);
            else
                damagedValue(tableColumn);
            break;
        }
        default:
            noText(tableColumn);
            break;
        }
    }

    Datum datum(int tableColumn) {
        Datum d;
        View v;
        if (!view(tableColumn, &v) || v.null)
            return d;
        const char* p = v.data;
        d.kind = Datum::Kind::Number;
        switch (v.type) {
        case MDB_BOOL:
            d.number = v.yes ? -1 : 0;
            break;
        case MDB_BYTE:
            d.number = quint8(p[0]);
            break;
        case MDB_INT:
            d.number = qFromLittleEndian<qint16>(p);
            break;
        case MDB_LONGINT:
        case MDB_COMPLEX:
            d.number = qFromLittleEndian<qint32>(p);
            break;
        case Stored::BigIntType:
            d.number = double(qFromLittleEndian<qint64>(p));
            break;
        case MDB_MONEY:
            d.number = double(qFromLittleEndian<qint64>(p)) / 10000;
            break;
        case MDB_FLOAT:
            d.number = qFromLittleEndian<float>(p);
            break;
        case MDB_DOUBLE:
            d.number = qFromLittleEndian<double>(p);
            break;
        case MDB_DATETIME: {
            // Before 12/30/1899 the time counts forward from the day's midnight all the same:
            // -1.25 is 6 AM on 12/29/1899, which on one time line is -0.75.
            const double stored = qFromLittleEndian<double>(p);
            const double day = std::trunc(stored);
            d.number = day + std::fabs(stored - day);
            break;
        }
        case Stored::ExtendedDateType: {
            Stored::ExtendedDate date;
            if (!Stored::parseExtendedDate(p, v.size, &date)) {
                damagedValue(tableColumn);
                return Datum();
            }
            d.number = double(date.date.toJulianDay() - ZeroDateJulianDay) +
                       (date.time.msecsSinceStartOfDay() / 1000 + date.tenMillionths / 1e7) /
                           double(SecondsPerDay);
            break;
        }
        case MDB_NUMERIC: {
            Stored::Decimal value;
            const auto* bytes = reinterpret_cast<const unsigned char*>(p);
            if (!(info[size_t(tableColumn)].calculated
                      ? Stored::readCalculatedDecimal(bytes, v.size, &value)
                      : Stored::readNumeric(bytes, v.size, column(tableColumn)->col_prec,
                                            &value))) {
                damagedValue(tableColumn);
                return Datum();
            }
            d.number = value.toDouble();
            break;
        }
        case MDB_TEXT:
        case MDB_MEMO: {
            QByteArray text;
            appendValue(tableColumn, text);
            d.kind = Datum::Kind::Text;
            d.text = QString::fromUtf8(text);
            break;
        }
        default:
            d.kind = Datum::Kind::Null;
            break;
        }
        return d;
    }

    // The row just read by its place keeps its bytes of its own, so that the rows of other
    // tables can be read into the page buffer they share.
    void detach() {
        const unsigned char* base = mdb->pg_buf + rowSpan.start;
        rowCopy.assign(base, base + rowSpan.size);
        for (unsigned int i = 0; i < table->num_cols; ++i) {
            if (fields[i].value)
                fields[i].value =
                    rowCopy.data() + (static_cast<const unsigned char*>(fields[i].value) - base);
        }
    }
};

Table::Table(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

Table::~Table() = default;

std::unique_ptr<Table> Table::open(const TableAccess& access, MdbCatalogEntry* entry,
                                   QString* error) {
    auto impl = std::make_unique<Impl>();
    impl->mdb = access.mdb;
    impl->pages = access.pages;
    impl->format.pageSize = int(access.mdb->fmt->pg_size);
    impl->format.rowCountOffset = access.mdb->fmt->row_count_offset;
    impl->format.jet3 = IS_JET3(access.mdb);
    impl->onPageRead = access.onPageRead;
    const QString name = QString::fromUtf8(entry->object_name);
    impl->table = mdb_read_table(entry);
    if (!impl->table || !mdb_read_columns(impl->table)) {
        *error = QStringLiteral("the definition of table '%1' cannot be read").arg(name);
        return nullptr;
    }
    if (impl->table->num_cols > MDB_MAX_COLS) {
        *error = QStringLiteral("table '%1' has more columns than can be read").arg(name);
        return nullptr;
    }
    // A calculated column has the expression among its properties, and its result type.
    for (unsigned int i = 0; i < impl->table->num_cols; ++i) {
        const MdbColumn* col = impl->column(int(i));
        Impl::ColumnInfo info;
        info.calculated = mdb_col_get_prop(col, "Expression") != nullptr;
        info.type =
            info.calculated
                ? Stored::calculatedResultType(mdb_col_get_prop(col, "ResultType"), col->col_type)
                : col->col_type;
        impl->info.push_back(info);
    }
    mdb_rewind_table(impl->table);
    return std::unique_ptr<Table>(new Table(std::move(impl)));
}

QString Table::name() const {
    return d->tableName();
}

int Table::columnCount() const {
    return int(d->table->num_cols);
}

QString Table::columnName(int column) const {
    return d->columnName(column);
}

int Table::findColumn(const QString& name) const {
    for (unsigned int i = 0; i < d->table->num_cols; ++i) {
        if (d->columnName(int(i)).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int Table::valueType(int column) const {
    return d->info[size_t(column)].type;
}

bool Table::holdsDates(int column) const {
    const int type = valueType(column);
    return type == MDB_DATETIME || type == Stored::ExtendedDateType;
}

bool Table::nextStored() {
    if (!d->error.isEmpty())
        return false;
    quint32 page = 0;
    quint16 row = 0;
    return d->scanNext(&page, &row);
}

bool Table::collectOrdered(const TableLimit& start, const TableLimit& end) {
    d->startColumn = start.column;
    d->endColumn = end.column;
    if (start.column >= 0)
        d->startLimit = timeLine(start.value);
    if (end.column >= 0)
        d->endLimit = timeLine(end.value);
    return d->collectKeys();
}

qint64 Table::orderedCount() const {
    return qint64(d->keys.size());
}

bool Table::nextOrdered() {
    RowKey key;
    if (!d->error.isEmpty() || !d->keys.next(&key))
        return false;
    return d->fetch(key);
}

void Table::expectRows(const std::vector<quint32>& places) {
    if (places.empty())
        return;
    const auto [low, high] = std::minmax_element(places.begin(), places.end());
    d->cache = std::make_unique<PageCache>(size_t(d->format.pageSize), PageCacheBytes, *low >> 8,
                                           *high >> 8);
    for (const quint32 place : places)
        d->cache->expectRow(place >> 8);
}

bool Table::readRow(quint32 place) {
    if (!d->error.isEmpty() || !d->cache)
        return false;
    const quint32 page = place >> 8;
    const int row = int(place & 0xff);
    const unsigned char* data = d->cache->find(page);
    if (!data && !(data = d->cachePage(page)))
        return false;
    if (row >= Pages::rowCount(d->format, data) ||
        d->crackRow(row, page, data) != RowState::Present)
        return d->damagedRow(row, page);
    d->cache->rowRead(page);
    d->detach();
    return true;
}

quint32 Table::rowPlace() const {
    return d->place;
}

QString Table::error() const {
    return d->error;
}

bool Table::isNull(int column) const {
    Impl::View v;
    return !d->view(column, &v) || v.null;
}

void Table::appendText(int column, QByteArray& out) {
    d->appendValue(column, out);
}

QDateTime Table::dateValue(int column) const {
    StoredDate date;
    if (!d->dateOf(column, &date))
        return QDateTime();
    return toDateTime(date);
}

Datum Table::datum(int column) {
    return d->datum(column);
}

} // namespace Mdb
