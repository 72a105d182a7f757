#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// A Jet 4 / ACE database file laid out page by page from nothing, as the format's notes describe
// it (the reading library's HACKING): header page, object catalog (MSysObjects) with the column
// properties of each table (LvProp), table definitions, data pages and their page maps, and the
// query catalog (MSysQueries). Enough for a reader of tables and saved queries; no indexes.
class TestDatabase {
public:
    // The version byte of the header page.
    enum class Version { Jet4 = 1, Ace2007 = 2, Ace2010 = 3, Ace2019 = 6 };
    enum Type {
        YesNo = 0x01,
        Byte = 0x02,
        Integer = 0x03,
        Long = 0x04,
        Currency = 0x05,
        Single = 0x06,
        Double = 0x07,
        DateTime = 0x08,
        Binary = 0x09,
        Text = 0x0a,
        Ole = 0x0b,
        Memo = 0x0c,
        Guid = 0x0f,
        Decimal = 0x10,
        BigInt = 0x13,
        ExtendedDate = 0x14,
    };

    struct Column {
        QString name;
        int type = Text;
        // Fixed-size columns lie at fixed places in a row, of `size` bytes (0: the type's size).
        bool fixed = false;
        int size = 0;
        // A calculated column: its Expression and ResultType properties.
        QString expression;
        int resultType = 0;
        int scale = 0;
    };
    // The stored bytes of a value (see the encoders below); nullopt for a null. A yes/no value
    // is "\1" or "\0": it is kept in the row's null mask.
    using Value = std::optional<QByteArray>;
    using Row = QList<Value>;

    struct QueryRow {
        int attribute = 0;
        int flag = 0;
        QString name1 = {};
        QString name2 = {};
        QString expression = {};
    };

    explicit TestDatabase(Version version);

    // Columns of the usual types; the calculated one wraps results of resultType.
    static Column column(const QString& name, int type);
    static Column calculated(const QString& name, int resultType, const QString& expression);

    void addTable(const QString& name, const QList<Column>& columns, const QList<Row>& rows);
    void addQuery(const QString& name, const QList<QueryRow>& rows);
    bool write(const QString& path) const;

    // Stored forms of values.
    static QByteArray text(const QString& text); // compressed when every character fits a byte
    static QByteArray ucs2(const QString& text); // never compressed
    static QByteArray int16(qint16 value);
    static QByteArray int32(qint32 value);
    static QByteArray int64(qint64 value);
    static QByteArray real(double value);
    static QByteArray date(const QDateTime& value);       // days since 12/30/1899
    static QByteArray longValue(const QByteArray& bytes); // a memo or OLE value kept in the row
    static QByteArray wrapped(const QByteArray& result);  // a calculated column's value

private:
    struct Table {
        QString name;
        QList<Column> columns;
        QList<Row> rows;
        bool system = false;
    };

    QByteArray tableDefinition(const Table& table, quint32 mapRow) const;
    QByteArray row(const Table& table, const Row& values) const;
    static QByteArray properties(const QList<Column>& columns);

    Version m_version;
    QList<Table> m_tables;
    QList<QPair<QString, QList<QueryRow>>> m_queries;
};
