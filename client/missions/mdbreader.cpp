#include "client/missions/mdbreader.h"

#include "client/foundation/datetext.h"
#include "client/missions/mdbpagecache.h"
#include "client/missions/mdbpagefile.h"
#include "client/missions/mdbpages.h"
#include "client/missions/mdbrowkeys.h"
#include "client/missions/valuetext.h"

#include <QFile>
#include <QtEndian>

// glib first: mdbtools.h uses its types without including it in every version. A libmdb built
// without GLib (Windows) brings its own stand-in through mdbtools.h.
#if __has_include(<glib.h>)
#include <glib.h>
#endif

#include <mdbtools.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <unordered_set>
#include <vector>

namespace Mdb {

namespace {

constexpr qint64 SecondsPerDay = 86400;
// Julian day of 12/30/1899, day 0 of stored dates.
constexpr qint64 ZeroDateJulianDay = 2415019;

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

qint64 timeLine(const QDateTime& value) {
    return (value.date().toJulianDay() - ZeroDateJulianDay) * SecondsPerDay +
           value.time().msecsSinceStartOfDay() / 1000;
}

QDateTime toDateTime(const StoredDate& date) {
    return QDateTime(QDate::fromJulianDay(ZeroDateJulianDay + date.day),
                     QTime::fromMSecsSinceStartOfDay(date.seconds * 1000), Qt::UTC);
}

// A name as the SQL text has it: [anything but brackets], or a plain word of letters, digits
// and underscores. Returns an empty string (and sets *error) for a name the SQL could not hold.
QString sqlName(const QString& written, const QString& what, QString* error) {
    const QString name = written.trimmed();
    if (name.startsWith(QLatin1Char('['))) {
        if (name.size() > 2 && name.endsWith(QLatin1Char(']')) &&
            name.indexOf(QLatin1Char(']')) == name.size() - 1)
            return name.mid(1, name.size() - 2);
        *error = QStringLiteral("syntax error in %1 '%2'").arg(what, written);
        return QString();
    }
    if (name.isEmpty()) {
        *error = QStringLiteral("syntax error: %1 missing").arg(what);
        return QString();
    }
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('_')) {
            *error = QStringLiteral("syntax error in %1 '%2' (a name with blanks or signs must be "
                                    "written in square brackets)")
                         .arg(what, written);
            return QString();
        }
    }
    return name;
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
// a header of their own.
int minimumSize(int type) {
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
        return 8;
    case MDB_MEMO:
    case MDB_OLE:
        return MDB_MEMO_OVERHEAD;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return 17;
    default:
        return 0;
    }
}

} // namespace

struct Database::Impl {
    MdbHandle* mdb = nullptr;
    PageFile pages;
    std::function<void()> onPageRead;
};

struct Result::Impl {
    MdbHandle* mdb = nullptr;
    PageFile* pages = nullptr; // null: libmdb reads each page
    MdbTableDef* table = nullptr;
    PageFormat format;
    std::function<void()> onPageRead;

    QStringList names;
    std::vector<int> columns; // index into table->columns per result column
    int startColumn = -1;     // table column of each limit, -1 when not used
    int endColumn = -1;
    qint64 startLimit = 0;
    qint64 endLimit = 0;

    bool ordered = false;
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

    bool dateOf(int tableColumn, StoredDate* out) const {
        const MdbField& f = fields[tableColumn];
        if (f.is_null || !f.value || f.siz < 8)
            return false;
        return decodeDate(mdb_get_double(f.value, 0), out);
    }

    bool matches() const {
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
    bool readLongValue(const MdbField& f) {
        longValue.clear();
        const char* p = static_cast<const char*>(f.value);
        const quint32 header = quint32(mdb_get_int32(const_cast<char*>(p), 0));
        const quint32 total = header & 0x3fffffffu;
        const auto damaged = [&] {
            return fail(QStringLiteral("a long value in table '%1' is damaged").arg(tableName()));
        };
        if (header & 0x80000000u) {
            longValue.append(p + MDB_MEMO_OVERHEAD, f.siz - MDB_MEMO_OVERHEAD);
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

    // Text of the database (Jet 3 code page or Jet 4 UCS-2, maybe compressed) as UTF-8.
    void appendDatabaseText(QByteArray& out, const char* data, size_t size) {
        if (size == 0 || appendPlainAscii(out, data, size))
            return;
        // UTF-8 takes at most three bytes for each byte of either form.
        const size_t capacity = size * 4 + 16;
        if (textBuffer.size() < capacity)
            textBuffer.resize(capacity);
        const int length = mdb_unicode2ascii(mdb, data, size, textBuffer.data(), textBuffer.size());
        out.append(textBuffer.data(), length);
    }
};

Result::Result(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

Result::~Result() = default;

QStringList Result::columnNames() const {
    return d->names;
}

int Result::findColumn(const QString& name) const {
    for (int i = 0; i < d->names.size(); ++i) {
        if (d->names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool Result::next() {
    if (d->ordered) {
        RowKey key;
        if (!d->error.isEmpty() || !d->keys.next(&key))
            return false;
        return d->fetch(key);
    }
    if (!d->error.isEmpty())
        return false;
    quint32 page = 0;
    quint16 row = 0;
    while (d->scanNext(&page, &row)) {
        if (d->matches())
            return true;
    }
    return false;
}

qint64 Result::rowCount() const {
    return d->ordered ? qint64(d->keys.size()) : -1;
}

QString Result::error() const {
    return d->error;
}

bool Result::isNull(int column) const {
    const int tableColumn = d->columns.at(size_t(column));
    if (d->column(tableColumn)->col_type == MDB_BOOL)
        return false;
    return d->fields[tableColumn].is_null != 0;
}

void Result::appendText(int column, QByteArray& out) const {
    const int tableColumn = d->columns.at(size_t(column));
    const MdbColumn* col = d->column(tableColumn);
    const MdbField& f = d->fields[tableColumn];
    // A yes/no value lives in the null bit of the row.
    if (col->col_type == MDB_BOOL) {
        out.append(f.is_null ? "False" : "True");
        return;
    }
    if (f.is_null || !f.value)
        return;
    char* v = static_cast<char*>(f.value);
    switch (col->col_type) {
    case MDB_BYTE:
        ValueText::appendInteger(out, mdb_get_byte(v, 0));
        break;
    case MDB_INT:
        ValueText::appendInteger(out, qint16(mdb_get_int16(v, 0)));
        break;
    case MDB_LONGINT:
    case MDB_COMPLEX:
        ValueText::appendInteger(out, qint32(mdb_get_int32(v, 0)));
        break;
    case MDB_MONEY: {
        qint64 raw = 0;
        std::memcpy(&raw, v, sizeof raw);
        ValueText::appendCurrency(out, qFromLittleEndian(raw));
        break;
    }
    case MDB_FLOAT:
        ValueText::appendSingle(out, mdb_get_single(v, 0));
        break;
    case MDB_DOUBLE:
        ValueText::appendDouble(out, mdb_get_double(v, 0));
        break;
    case MDB_DATETIME: {
        StoredDate date;
        if (decodeDate(mdb_get_double(v, 0), &date))
            DateText::appendDateValue(out, QDate::fromJulianDay(ZeroDateJulianDay + date.day),
                                      QTime::fromMSecsSinceStartOfDay(date.seconds * 1000));
        break;
    }
    case MDB_TEXT:
        d->appendDatabaseText(out, v, size_t(f.siz));
        break;
    case MDB_MEMO:
        if (d->readLongValue(f))
            d->appendDatabaseText(out, d->longValue.constData(), size_t(d->longValue.size()));
        break;
    case MDB_OLE:
        if (d->readLongValue(f))
            ValueText::appendHex(out, d->longValue.constData(), int(d->longValue.size()));
        break;
    case MDB_BINARY:
        ValueText::appendHex(out, v, f.siz);
        break;
    case MDB_REPID:
        ValueText::appendGuid(out, reinterpret_cast<const unsigned char*>(v));
        break;
    case MDB_NUMERIC: {
        char* text = mdb_numeric_to_string(d->mdb, f.start, col->col_scale, col->col_prec);
        QByteArray number(text);
        g_free(text);
        if (number.contains('.')) {
            while (number.endsWith('0'))
                number.chop(1);
            if (number.endsWith('.'))
                number.chop(1);
        }
        out.append(number);
        break;
    }
    default:
        break;
    }
}

QDateTime Result::startValue() const {
    StoredDate date;
    if (d->startColumn < 0 || !d->dateOf(d->startColumn, &date))
        return QDateTime();
    return toDateTime(date);
}

QDateTime Result::endValue() const {
    StoredDate date;
    if (d->endColumn < 0 || !d->dateOf(d->endColumn, &date))
        return QDateTime();
    return toDateTime(date);
}

Database::Database() : d(std::make_unique<Impl>()) {}

Database::~Database() {
    close();
}

bool Database::open(const QString& path, QString* error) {
    close();
    // Without MDB_WRITABLE the file is opened for reading only.
    d->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!d->mdb) {
        *error = QStringLiteral("'%1' cannot be opened as a database").arg(path);
        return false;
    }
    if (!mdb_read_catalog(d->mdb, MDB_ANY)) {
        close();
        *error = QStringLiteral("the catalog of '%1' cannot be read").arg(path);
        return false;
    }
    // Encrypted pages need libmdb's own reading, which decrypts them.
    if (d->mdb->f->db_key == 0)
        d->pages.open(path, int(d->mdb->fmt->pg_size));
    return true;
}

void Database::setProgress(std::function<void()> onPageRead) {
    d->onPageRead = std::move(onPageRead);
}

bool Database::isOpen() const {
    return d->mdb != nullptr;
}

void Database::close() {
    d->pages.close();
    if (d->mdb) {
        mdb_close(d->mdb);
        d->mdb = nullptr;
    }
}

std::unique_ptr<Result> Database::execute(const Query& query, QString* error) {
    if (!d->mdb) {
        *error = QStringLiteral("the database is not open");
        return nullptr;
    }
    const QString tableName = sqlName(query.table, QStringLiteral("table name"), error);
    if (tableName.isEmpty())
        return nullptr;

    MdbCatalogEntry* entry = nullptr;
    for (unsigned int i = 0; i < d->mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(d->mdb->catalog, i));
        if (QString::fromUtf8(e->object_name).compare(tableName, Qt::CaseInsensitive) != 0)
            continue;
        if (e->object_type == MDB_TABLE) {
            entry = e;
            break;
        }
        if (e->object_type == MDB_QUERY) {
            *error =
                QStringLiteral("'%1' is a saved query; only tables can be read").arg(tableName);
            return nullptr;
        }
        if (e->object_type == MDB_LINKED_TABLE) {
            *error = QStringLiteral("'%1' is linked to another database and cannot be read here")
                         .arg(tableName);
            return nullptr;
        }
    }
    if (!entry) {
        *error = QStringLiteral("there is no table or query named '%1'").arg(tableName);
        return nullptr;
    }

    auto impl = std::make_unique<Result::Impl>();
    impl->mdb = d->mdb;
    impl->pages = d->pages.isOpen() ? &d->pages : nullptr;
    impl->format.pageSize = int(d->mdb->fmt->pg_size);
    impl->format.rowCountOffset = d->mdb->fmt->row_count_offset;
    impl->format.jet3 = IS_JET3(d->mdb);
    impl->onPageRead = d->onPageRead;
    impl->table = mdb_read_table(entry);
    if (!impl->table || !mdb_read_columns(impl->table)) {
        *error = QStringLiteral("the definition of table '%1' cannot be read").arg(tableName);
        return nullptr;
    }
    if (impl->table->num_cols > MDB_MAX_COLS) {
        *error = QStringLiteral("table '%1' has more columns than can be read").arg(tableName);
        return nullptr;
    }

    const auto findTableColumn = [&](const QString& name) {
        for (unsigned int i = 0; i < impl->table->num_cols; ++i) {
            if (QString::fromUtf8(impl->column(int(i))->name).compare(name, Qt::CaseInsensitive) ==
                0)
                return int(i);
        }
        return -1;
    };

    if (query.columns.isEmpty()) {
        *error = QStringLiteral("syntax error: no columns to select");
        return nullptr;
    }
    for (const QString& written : query.columns) {
        if (written.trimmed() == QLatin1String("*")) {
            for (unsigned int i = 0; i < impl->table->num_cols; ++i) {
                impl->columns.push_back(int(i));
                impl->names << QString::fromUtf8(impl->column(int(i))->name);
            }
            continue;
        }
        const QString name = sqlName(written, QStringLiteral("column name"), error);
        if (name.isEmpty())
            return nullptr;
        const int index = findTableColumn(name);
        if (index < 0) {
            *error = QStringLiteral("there is no column '%1' in table '%2'").arg(name, tableName);
            return nullptr;
        }
        impl->columns.push_back(index);
        impl->names << QString::fromUtf8(impl->column(index)->name);
    }

    const auto limitColumn = [&](const DateLimit& limit, int* out) {
        if (!limit.used)
            return true;
        const QString name = sqlName(limit.column, QStringLiteral("date column name"), error);
        if (name.isEmpty())
            return false;
        *out = findTableColumn(name);
        if (*out < 0) {
            *error = QStringLiteral("there is no column '%1' in table '%2'").arg(name, tableName);
            return false;
        }
        if (impl->column(*out)->col_type != MDB_DATETIME) {
            *error = QStringLiteral("data type mismatch: column '%1' of table '%2' does not hold "
                                    "dates")
                         .arg(name, tableName);
            return false;
        }
        if (!limit.value.isValid()) {
            *error = QStringLiteral("the date limit of column '%1' is not a date").arg(name);
            return false;
        }
        return true;
    };
    if (!limitColumn(query.start, &impl->startColumn) || !limitColumn(query.end, &impl->endColumn))
        return nullptr;
    if (query.start.used)
        impl->startLimit = timeLine(query.start.value);
    if (query.end.used)
        impl->endLimit = timeLine(query.end.value);

    mdb_rewind_table(impl->table);
    impl->ordered = query.start.used || query.end.used;
    if (impl->ordered && !impl->collectKeys()) {
        *error = impl->error;
        return nullptr;
    }
    return std::unique_ptr<Result>(new Result(std::move(impl)));
}

} // namespace Mdb
