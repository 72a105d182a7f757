#include "client/missions/mdbreader.h"

#include "client/foundation/datetext.h"

#include <QFile>
#include <QtEndian>

// glib first: mdbtools.h uses its types without including it in every version.
#include <glib.h>

#include <mdbtools.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace Mdb {

namespace {

constexpr int OffsetMask = 0x1fff;
constexpr int DeletedRow = 0x4000;
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

void appendInteger(QByteArray& out, qint64 value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, int(result.ptr - buffer));
}

// The shortest text that reads back to the same value: plain decimal for exponents from -5 to
// 14, scientific with a signed exponent of at least two digits (1.5E+20) beyond.
template <typename Real> void appendShortest(QByteArray& out, Real value) {
    if (std::isnan(value)) {
        out.append("NaN");
        return;
    }
    if (std::isinf(value)) {
        out.append(value < 0 ? "-Infinity" : "Infinity");
        return;
    }
    if (value == 0) {
        out.append('0');
        return;
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const char* p = buffer;
    const char* end = result.ptr;
    if (*p == '-') {
        out.append('-');
        ++p;
    }
    char digits[32];
    int count = 0;
    while (p < end && *p != 'e') {
        if (*p != '.')
            digits[count++] = *p;
        ++p;
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            out.append("0.");
            out.append(QByteArray(-exponent - 1, '0'));
            out.append(digits, count);
        } else if (count <= exponent + 1) {
            out.append(digits, count);
            out.append(QByteArray(exponent + 1 - count, '0'));
        } else {
            out.append(digits, exponent + 1);
            out.append('.');
            out.append(digits + exponent + 1, count - exponent - 1);
        }
        return;
    }
    out.append(digits[0]);
    if (count > 1) {
        out.append('.');
        out.append(digits + 1, count - 1);
    }
    out.append(exponent < 0 ? "E-" : "E+");
    if (std::abs(exponent) < 10)
        out.append('0');
    appendInteger(out, std::abs(exponent));
}

// Currency: a 64-bit count of ten-thousandths, written without trailing zeros.
void appendCurrency(QByteArray& out, qint64 value) {
    quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    if (value < 0)
        out.append('-');
    appendInteger(out, qint64(magnitude / 10000));
    int fraction = int(magnitude % 10000);
    if (fraction == 0)
        return;
    char digits[4];
    for (int i = 3; i >= 0; --i) {
        digits[i] = char('0' + fraction % 10);
        fraction /= 10;
    }
    int length = 4;
    while (digits[length - 1] == '0')
        --length;
    out.append('.');
    out.append(digits, length);
}

void appendHex(QByteArray& out, const char* data, int size) {
    static const char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        out.append(hex[c >> 4]);
        out.append(hex[c & 15]);
    }
}

// {00000000-0000-0000-0000-000000000000}, the first three groups stored little-endian.
void appendGuid(QByteArray& out, const unsigned char* b) {
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    out.append('{');
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out.append('-');
        appendHex(out, reinterpret_cast<const char*>(b + order[i]), 1);
    }
    out.append('}');
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

struct RowKey {
    qint64 when;
    quint32 page;
    quint16 row;
};

// Pages of the table kept for reading rows again in date order: rows of neighbouring dates
// tend to lie on pages read a moment ago, so a few megabytes save most of the reads.
class PageCache {
public:
    static constexpr size_t Bytes = 8 * 1024 * 1024;

    explicit PageCache(size_t pageSize)
        : m_pageSize(pageSize), m_capacity(std::max<size_t>(16, Bytes / pageSize)) {
        m_pages.reserve(m_capacity * m_pageSize);
    }

    // The cached copy of a page, or nullptr.
    const unsigned char* find(quint32 page) {
        const auto it = m_index.find(page);
        if (it == m_index.end())
            return nullptr;
        touch(it->second);
        return m_pages.data() + size_t(it->second) * m_pageSize;
    }

    // Keeps a copy of a page, in place of the one used longest ago when the cache is full.
    void add(quint32 page, const unsigned char* data) {
        int slot = int(m_owner.size());
        if (size_t(slot) < m_capacity) {
            m_pages.resize((size_t(slot) + 1) * m_pageSize);
            m_owner.push_back(page);
            m_older.push_back(-1);
            m_newer.push_back(-1);
            link(slot);
        } else {
            slot = m_oldest;
            m_index.erase(m_owner[size_t(slot)]);
            m_owner[size_t(slot)] = page;
            touch(slot);
        }
        std::memcpy(m_pages.data() + size_t(slot) * m_pageSize, data, m_pageSize);
        m_index[page] = slot;
    }

private:
    // Slots form a list from the newest to the oldest use.
    void link(int slot) {
        m_older[size_t(slot)] = m_newest;
        m_newer[size_t(slot)] = -1;
        if (m_newest >= 0)
            m_newer[size_t(m_newest)] = slot;
        m_newest = slot;
        if (m_oldest < 0)
            m_oldest = slot;
    }

    void touch(int slot) {
        if (slot == m_newest)
            return;
        const int older = m_older[size_t(slot)];
        const int newer = m_newer[size_t(slot)];
        if (older >= 0)
            m_newer[size_t(older)] = newer;
        else
            m_oldest = newer;
        m_older[size_t(newer)] = older;
        link(slot);
    }

    size_t m_pageSize;
    size_t m_capacity;
    std::vector<unsigned char> m_pages;
    std::vector<quint32> m_owner;
    std::vector<int> m_older;
    std::vector<int> m_newer;
    int m_newest = -1;
    int m_oldest = -1;
    std::unordered_map<quint32, int> m_index;
};

} // namespace

struct Database::Impl {
    MdbHandle* mdb = nullptr;
};

struct Result::Impl {
    MdbHandle* mdb = nullptr;
    MdbTableDef* table = nullptr;

    QStringList names;
    std::vector<int> columns; // index into table->columns per result column
    int startColumn = -1;     // table column of each limit, -1 when not used
    int endColumn = -1;
    qint64 startLimit = 0;
    qint64 endLimit = 0;

    bool ordered = false;
    std::vector<RowKey> keys;
    size_t nextKey = 0;
    std::unique_ptr<PageCache> cache;

    // Stored-order scan.
    bool onPage = false;
    unsigned int rowsOnPage = 0;
    unsigned int nextRow = 0;
    bool scanDone = false;

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

    // Cracks row number `row` of the page in mdb->pg_buf into fields; false for a deleted or
    // unreadable row.
    bool crackRow(int row) {
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, row, &start, &size) != 0 || size == 0)
            return false;
        if (start & DeletedRow)
            return false;
        return mdb_crack_row(table, start & OffsetMask, size, fields) >= 0;
    }

    // The next row in stored order, cracked. Sets error when the table ends early.
    bool scanNext(quint32* page, quint16* row) {
        while (!scanDone) {
            if (!onPage) {
                if (!mdb_read_next_dpg(table)) {
                    scanDone = true;
                    // The page map still names a page: it could not be read.
                    const int unread =
                        mdb_map_find_next(mdb, table->usage_map, table->map_sz, table->cur_phys_pg);
                    if (unread > 0)
                        error = QStringLiteral("page %1 of table '%2' cannot be read")
                                    .arg(unread)
                                    .arg(QString::fromUtf8(table->name));
                    return false;
                }
                onPage = true;
                nextRow = 0;
                rowsOnPage = unsigned(mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset));
            }
            if (nextRow >= rowsOnPage) {
                onPage = false;
                continue;
            }
            const unsigned int r = nextRow++;
            if (crackRow(int(r))) {
                *page = quint32(mdb->cur_pg);
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

    // Reads the rows that match, keeps their keys and sorts them on the ordering column;
    // rows of equal dates keep their stored order.
    bool collectKeys() {
        const int orderColumn = startColumn >= 0 ? startColumn : endColumn;
        quint32 page = 0;
        quint16 row = 0;
        while (scanNext(&page, &row)) {
            if (!matches())
                continue;
            StoredDate date;
            dateOf(orderColumn, &date);
            keys.push_back(RowKey{timeLine(date), page, row});
        }
        if (!error.isEmpty())
            return false;
        std::stable_sort(keys.begin(), keys.end(),
                         [](const RowKey& a, const RowKey& b) { return a.when < b.when; });
        return true;
    }

    // Puts the page of a key into mdb->pg_buf and cracks its row.
    bool fetch(const RowKey& key) {
        if (mdb->cur_pg != key.page) {
            if (!cache)
                cache = std::make_unique<PageCache>(size_t(mdb->fmt->pg_size));
            if (const unsigned char* copy = cache->find(key.page)) {
                std::memcpy(mdb->pg_buf, copy, size_t(mdb->fmt->pg_size));
                mdb->cur_pg = key.page;
            } else if (mdb_read_pg(mdb, key.page) == ssize_t(mdb->fmt->pg_size)) {
                cache->add(key.page, mdb->pg_buf);
            } else {
                error = QStringLiteral("page %1 of table '%2' cannot be read")
                            .arg(key.page)
                            .arg(QString::fromUtf8(table->name));
                return false;
            }
        }
        if (!crackRow(key.row)) {
            error = QStringLiteral("row %1 of page %2 of table '%3' cannot be read")
                        .arg(key.row)
                        .arg(key.page)
                        .arg(QString::fromUtf8(table->name));
            return false;
        }
        return true;
    }

    // The bytes of a memo or OLE value: inline, on one other page, or in a chain of pages.
    const QByteArray& readLongValue(const MdbField& f) {
        longValue.clear();
        if (f.siz < MDB_MEMO_OVERHEAD)
            return longValue;
        const char* p = static_cast<const char*>(f.value);
        const quint32 header = quint32(mdb_get_int32(const_cast<char*>(p), 0));
        if (header & 0x80000000u) {
            longValue.append(p + MDB_MEMO_OVERHEAD, f.siz - MDB_MEMO_OVERHEAD);
            return longValue;
        }
        int pageRow = int(mdb_get_int32(const_cast<char*>(p), 4));
        void* buffer = nullptr;
        int start = 0;
        size_t length = 0;
        if (header & 0x40000000u) {
            if (mdb_find_pg_row(mdb, pageRow, &buffer, &start, &length) == 0)
                longValue.append(static_cast<const char*>(buffer) + (start & OffsetMask),
                                 int(length));
            return longValue;
        }
        if (header & 0xff000000u)
            return longValue;
        const quint32 total = header;
        // Each link page holds the next link in its first four bytes; a damaged chain must not
        // loop for ever.
        while (pageRow && quint32(longValue.size()) < total) {
            if (mdb_find_pg_row(mdb, pageRow, &buffer, &start, &length) != 0 || length < 4)
                break;
            const char* row = static_cast<const char*>(buffer) + (start & OffsetMask);
            longValue.append(row + 4, int(length - 4));
            pageRow = int(mdb_get_int32(const_cast<char*>(row), 0));
        }
        if (quint32(longValue.size()) > total)
            longValue.truncate(int(total));
        return longValue;
    }

    // Text of the database (Jet 3 code page or Jet 4 UCS-2, maybe compressed) as UTF-8.
    void appendDatabaseText(QByteArray& out, const char* data, size_t size) {
        if (size == 0)
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
        if (d->nextKey >= d->keys.size() || !d->error.isEmpty())
            return false;
        return d->fetch(d->keys[d->nextKey++]);
    }
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
        appendInteger(out, mdb_get_byte(v, 0));
        break;
    case MDB_INT:
        appendInteger(out, qint16(mdb_get_int16(v, 0)));
        break;
    case MDB_LONGINT:
    case MDB_COMPLEX:
        appendInteger(out, qint32(mdb_get_int32(v, 0)));
        break;
    case MDB_MONEY: {
        qint64 raw = 0;
        std::memcpy(&raw, v, sizeof raw);
        appendCurrency(out, qFromLittleEndian(raw));
        break;
    }
    case MDB_FLOAT:
        appendShortest(out, mdb_get_single(v, 0));
        break;
    case MDB_DOUBLE:
        appendShortest(out, mdb_get_double(v, 0));
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
    case MDB_MEMO: {
        const QByteArray& raw = d->readLongValue(f);
        d->appendDatabaseText(out, raw.constData(), size_t(raw.size()));
        break;
    }
    case MDB_OLE: {
        const QByteArray& raw = d->readLongValue(f);
        appendHex(out, raw.constData(), int(raw.size()));
        break;
    }
    case MDB_BINARY:
        appendHex(out, v, f.siz);
        break;
    case MDB_REPID:
        if (f.siz >= 16)
            appendGuid(out, reinterpret_cast<const unsigned char*>(v));
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
    return true;
}

bool Database::isOpen() const {
    return d->mdb != nullptr;
}

void Database::close() {
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
