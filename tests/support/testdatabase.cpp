#include "tests/support/testdatabase.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr int PageSize = 4096;
constexpr int RowCountOffset = 12; // of a data page; its table of row offsets follows
constexpr int TableColumnsAt = 63; // of a definition page without indexes
constexpr int ColumnEntrySize = 25;
constexpr int MapPage = 1;
constexpr int FirstDefinitionPage = 2;
constexpr quint32 SystemObject = 0x80000002;
constexpr int TableObject = 1;
constexpr int QueryObject = 5;

template <typename T> QByteArray little(T value) {
    QByteArray bytes(int(sizeof(T)), '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

int sizeOf(const TestDatabase::Column& column) {
    if (column.size > 0)
        return column.size;
    switch (column.type) {
    case TestDatabase::YesNo:
        return 0;
    case TestDatabase::Byte:
        return 1;
    case TestDatabase::Integer:
        return 2;
    case TestDatabase::Long:
    case TestDatabase::Single:
        return 4;
    case TestDatabase::Guid:
        return 16;
    case TestDatabase::Decimal:
        return 17;
    case TestDatabase::ExtendedDate:
        return 42;
    case TestDatabase::Text:
        return 510;
    case TestDatabase::Binary:
        return 255;
    case TestDatabase::Memo:
    case TestDatabase::Ole:
        return 0;
    default:
        return 8;
    }
}

// The header page's 128 bytes from 0x18 are kept under RC4 with a fixed key.
void rc4(unsigned char* data, int size) {
    const unsigned char key[4] = {0xc7, 0xda, 0x39, 0x6b};
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 255;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < size; ++n) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 255];
    }
}

QByteArray page(int type) {
    QByteArray bytes(PageSize, '\0');
    bytes[0] = char(type);
    bytes[1] = 1;
    return bytes;
}

// A data page of the table defined on tablePage holding the rows, the first at the page's end.
QByteArray dataPage(quint32 tablePage, const QList<QByteArray>& rows) {
    QByteArray bytes = page(1);
    qToLittleEndian(tablePage, bytes.data() + 4);
    qToLittleEndian(quint16(rows.size()), bytes.data() + RowCountOffset);
    int end = PageSize;
    for (int i = 0; i < rows.size(); ++i) {
        end -= int(rows[i].size());
        bytes.replace(end, int(rows[i].size()), rows[i]);
        qToLittleEndian(quint16(end), bytes.data() + RowCountOffset + 2 + 2 * i);
    }
    qToLittleEndian(quint16(end - RowCountOffset - 2 - 2 * rows.size()), bytes.data() + 2);
    return bytes;
}

} // namespace

TestDatabase::TestDatabase(Version version) : m_version(version) {}

TestDatabase::Column TestDatabase::column(const QString& name, int type) {
    Column c;
    c.name = name;
    c.type = type;
    c.fixed = type != Text && type != Memo && type != Ole && type != Binary;
    return c;
}

TestDatabase::Column TestDatabase::calculated(const QString& name, int resultType,
                                              const QString& expression) {
    Column c = column(name, resultType);
    c.fixed = false;
    c.expression = expression;
    // The engine's data type code: its list and the column types part for decimals.
    c.resultType = resultType == Decimal ? 20 : resultType;
    return c;
}

void TestDatabase::addTable(const QString& name, const QList<Column>& columns,
                            const QList<Row>& rows) {
    m_tables.append({name, columns, rows, false});
}

void TestDatabase::addQuery(const QString& name, const QList<QueryRow>& rows) {
    m_queries.append({name, rows});
}

QByteArray TestDatabase::text(const QString& value) {
    const bool oneByte = std::all_of(value.begin(), value.end(),
                                     [](QChar c) { return c.unicode() > 0 && c.unicode() < 256; });
    if (!oneByte || value.isEmpty())
        return ucs2(value);
    QByteArray bytes("\xff\xfe");
    for (const QChar c : value)
        bytes += char(c.unicode());
    return bytes;
}

QByteArray TestDatabase::ucs2(const QString& value) {
    QByteArray bytes;
    for (const QChar c : value)
        bytes += little(quint16(c.unicode()));
    return bytes;
}

QByteArray TestDatabase::int16(qint16 value) {
    return little(value);
}

QByteArray TestDatabase::int32(qint32 value) {
    return little(value);
}

QByteArray TestDatabase::int64(qint64 value) {
    return little(value);
}

QByteArray TestDatabase::real(double value) {
    return little(value);
}

QByteArray TestDatabase::date(const QDateTime& value) {
    const qint64 days = QDate(1899, 12, 30).daysTo(value.date());
    return real(double(days) + value.time().msecsSinceStartOfDay() / 86400000.0);
}

QByteArray TestDatabase::longValue(const QByteArray& bytes) {
    return little(quint32(bytes.size()) | 0x80000000u) + QByteArray(8, '\0') + bytes;
}

QByteArray TestDatabase::wrapped(const QByteArray& result) {
    return QByteArray(16, '\0') + little(quint32(result.size())) + result + QByteArray(3, '\0');
}

QByteArray TestDatabase::row(const Table& table, const Row& values) const {
    const int count = int(table.columns.size());
    QByteArray bytes = little(quint16(count));
    QByteArray mask((count + 7) / 8, '\0');
    for (int i = 0; i < count; ++i) {
        const Column& c = table.columns[i];
        const Value& v = values.value(i);
        const bool present = v && (c.type != YesNo || !c.expression.isEmpty() || *v == "\1");
        if (present)
            mask[i / 8] = char(mask[i / 8] | (1 << (i % 8)));
        if (c.fixed)
            bytes += (v ? *v : QByteArray()).leftJustified(sizeOf(c), '\0', true);
    }
    QList<quint16> offsets;
    for (int i = 0; i < count; ++i) {
        const Column& c = table.columns[i];
        if (c.fixed)
            continue;
        offsets.append(quint16(bytes.size()));
        if (values.value(i))
            bytes += *values.value(i);
    }
    if (!offsets.isEmpty()) {
        offsets.append(quint16(bytes.size()));
        for (int i = int(offsets.size()) - 1; i >= 0; --i)
            bytes += little(offsets[i]);
        bytes += little(quint16(offsets.size() - 1));
    }
    return bytes + mask;
}

QByteArray TestDatabase::tableDefinition(const Table& table, quint32 mapRow) const {
    QByteArray bytes = page(2);
    const int count = int(table.columns.size());
    const int variable = int(std::count_if(table.columns.begin(), table.columns.end(),
                                           [](const Column& c) { return !c.fixed; }));
    qToLittleEndian(quint32(table.rows.size()), bytes.data() + 16);
    bytes[40] = table.system ? 0x53 : 0x4e;
    qToLittleEndian(quint16(count), bytes.data() + 41);
    qToLittleEndian(quint16(variable), bytes.data() + 43);
    qToLittleEndian(quint16(count), bytes.data() + 45);
    qToLittleEndian(mapRow, bytes.data() + 55);
    qToLittleEndian(mapRow, bytes.data() + 59);
    QByteArray columns;
    QByteArray names;
    int fixedAt = 0;
    int variableIndex = 0;
    for (int i = 0; i < count; ++i) {
        const Column& c = table.columns[i];
        QByteArray entry(ColumnEntrySize, '\0');
        entry[0] = char(c.type);
        qToLittleEndian(quint16(i), entry.data() + 5);
        qToLittleEndian(quint16(c.fixed ? 0 : variableIndex++), entry.data() + 7);
        qToLittleEndian(quint16(i), entry.data() + 9);
        if (c.type == Decimal) {
            entry[11] = 28; // precision, then scale
            entry[12] = char(c.scale);
        }
        entry[15] = char((c.fixed ? 0x01 : 0) | 0x02);
        // Compressed text allowed; a calculated column.
        entry[16] = char((c.type == Text || c.type == Memo ? 0x01 : 0) |
                         (c.expression.isEmpty() ? 0 : 0xc0));
        qToLittleEndian(quint16(c.fixed ? fixedAt : 0), entry.data() + 21);
        qToLittleEndian(quint16(sizeOf(c) + (c.expression.isEmpty() ? 0 : 23)), entry.data() + 23);
        if (c.fixed)
            fixedAt += sizeOf(c);
        columns += entry;
        names += little(quint16(c.name.size() * 2)) + ucs2(c.name);
    }
    QByteArray definition = columns + names + little(quint16(0xffff));
    bytes.replace(TableColumnsAt, int(definition.size()), definition);
    qToLittleEndian(quint32(TableColumnsAt + definition.size() - 8), bytes.data() + 8);
    return bytes;
}

// The properties of the calculated columns, as LvProp holds them: a list of property names,
// then one block per column naming it, with its Expression (text) and ResultType (a byte).
QByteArray TestDatabase::properties(const QList<Column>& columns) {
    const auto chunk = [](quint16 type, const QByteArray& content) {
        return little(quint32(content.size() + 6)) + little(type) + content;
    };
    QByteArray blocks;
    for (const Column& c : columns) {
        if (c.expression.isEmpty())
            continue;
        const QByteArray expression = ucs2(c.expression);
        QByteArray entries = little(quint16(8 + expression.size())) + QByteArray(1, '\0') +
                             char(Memo) + little(quint16(0)) + little(quint16(expression.size())) +
                             expression;
        entries += little(quint16(9)) + QByteArray(1, '\0') + char(Byte) + little(quint16(1)) +
                   little(quint16(1)) + char(c.resultType);
        const QByteArray name = ucs2(c.name);
        const QByteArray head = little(quint16(name.size())) + name;
        blocks += chunk(1, little(quint32(4 + head.size() + entries.size())) + head + entries);
    }
    if (blocks.isEmpty())
        return QByteArray();
    QByteArray names;
    for (const QString& name : {QStringLiteral("Expression"), QStringLiteral("ResultType")})
        names += little(quint16(name.size() * 2)) + ucs2(name);
    return QByteArray("MR2\0", 4) + chunk(0x80, names) + blocks;
}

bool TestDatabase::write(const QString& path) const {
    QList<Table> tables;
    tables.append({QStringLiteral("MSysObjects"),
                   {column("Id", Long), column("ParentId", Long), column("Name", Text),
                    column("Type", Integer), column("Flags", Long), column("LvProp", Ole)},
                   {},
                   true});
    tables.append({QStringLiteral("MSysQueries"),
                   {column("ObjectId", Long), column("Attribute", Byte), column("Expression", Memo),
                    column("Flag", Integer), column("Name1", Text), column("Name2", Text),
                    column("Order", Binary)},
                   {},
                   true});
    tables.append(m_tables);
    // The object catalog: every table on the page of its definition, then the queries.
    for (int t = 0; t < tables.size(); ++t) {
        const QByteArray props = properties(tables[t].columns);
        tables[0].rows.append({int32(FirstDefinitionPage + t), int32(0), text(tables[t].name),
                               int16(TableObject),
                               int32(qint32(tables[t].system ? SystemObject : 0)),
                               props.isEmpty() ? Value() : Value(longValue(props))});
    }
    for (int q = 0; q < m_queries.size(); ++q) {
        const qint32 id = qint32(0x80000100u + quint32(q));
        tables[0].rows.append(
            {int32(id), int32(0), text(m_queries[q].first), int16(QueryObject), int32(0), Value()});
        QList<QueryRow> rows = m_queries[q].second;
        rows.prepend(QueryRow{0});
        rows.append(QueryRow{255});
        for (const QueryRow& r : rows) {
            const auto textOrNull = [](const QString& s) {
                return s.isEmpty() ? Value() : text(s);
            };
            tables[1].rows.append({int32(id), QByteArray(1, char(r.attribute)),
                                   r.expression.isEmpty() ? Value() : longValue(text(r.expression)),
                                   int16(qint16(r.flag)), textOrNull(r.name1), textOrNull(r.name2),
                                   Value()});
        }
    }

    // Data pages after the definitions, each table's rows filling pages in turn.
    QList<QByteArray> pages(FirstDefinitionPage + tables.size());
    QList<QByteArray> maps;
    for (int t = 0; t < tables.size(); ++t) {
        const quint32 definitionPage = quint32(FirstDefinitionPage + t);
        QList<int> owned;
        QList<QByteArray> onPage;
        int room = PageSize - RowCountOffset - 2;
        const auto flush = [&] {
            owned.append(int(pages.size()));
            pages.append(dataPage(definitionPage, onPage));
            onPage.clear();
            room = PageSize - RowCountOffset - 2;
        };
        for (const Row& values : tables[t].rows) {
            const QByteArray bytes = row(tables[t], values);
            if (bytes.size() + 2 > room)
                flush();
            onPage.append(bytes);
            room -= int(bytes.size()) + 2;
        }
        if (!onPage.isEmpty() || owned.isEmpty())
            flush();
        pages[int(definitionPage)] = tableDefinition(tables[t], quint32(MapPage) << 8 | quint32(t));
        maps.append(QByteArray());
        for (const int p : owned) {
            maps.last().resize(std::max<qsizetype>(maps.last().size(), p / 8 + 1), '\0');
            maps.last()[p / 8] = char(maps.last()[p / 8] | (1 << (p % 8)));
        }
    }
    // The page maps of the tables, rows of page 1: type 0, first page 0, then a bit per page.
    for (QByteArray& map : maps)
        map = QByteArray(5, '\0') + map;
    pages[MapPage] = dataPage(0, maps);

    QByteArray header = page(0); // 00 01 00 00
    header.replace(4, 15, m_version == Version::Jet4 ? "Standard Jet DB" : "Standard ACE DB");
    header[0x14] = char(m_version);
    qToLittleEndian(quint16(1252), header.data() + 0x3c);
    qToLittleEndian(quint16(1033), header.data() + 0x6e);
    rc4(reinterpret_cast<unsigned char*>(header.data()) + 0x18, 128);
    pages[0] = header;

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QByteArray& p : pages)
        file.write(p);
    return file.flush();
}
