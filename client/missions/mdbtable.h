#pragma once

#include "client/missions/mdblibrary.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace Mdb {

class PageFile;

// What reading a table needs of its open database.
struct TableAccess {
    MdbHandle* mdb = nullptr;
    PageFile* pages = nullptr; // null: the library reads each page (encrypted files)
    std::function<void()> onPageRead;
};

// A value as a saved query compares it: a number (dates as days since 12/30/1899 with the time as
// the fraction, yes/no as -1 or 0), a text, or null.
struct Datum {
    enum class Kind : quint8 { Null, Number, Text };
    Kind kind = Kind::Null;
    double number = 0;
    QString text;
};

// One date limit of an ordered read, on a column of the table.
struct TableLimit {
    int column = -1; // -1: not used
    QDateTime value;
};

// The rows of one table and the values of the row read last. Rows come in stored order, in the
// order of a date column within limits, or one by one by where they lie. Every page and row is
// checked before its bytes are used: damage is an error (error()), never a row.
class Table {
public:
    // Reads the definition of a table of the catalog; nullptr with a description when it
    // cannot be read.
    static std::unique_ptr<Table> open(const TableAccess& access, MdbCatalogEntry* entry,
                                       QString* error);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    QString name() const;
    int columnCount() const;
    QString columnName(int column) const;
    // The column of that name, compared without regard to case; -1 when there is none.
    int findColumn(const QString& name) const;
    // The type of a column's values: for a calculated column the type of its results; -1 for a
    // calculated column whose result type is not known.
    int valueType(int column) const;
    bool holdsDates(int column) const;

    // The next row in stored order; false after the last or when reading failed.
    bool nextStored();
    // Keeps the rows within the limits (at least one used) in the order of the start column,
    // else of the end column; equal dates keep their stored order. False when reading failed.
    bool collectOrdered(const TableLimit& start, const TableLimit& end);
    qint64 orderedCount() const;
    // The next row of the ordered read.
    bool nextOrdered();
    // Reading rows one by one by where they lie (page << 8 | row, as rowPlace() gives it): all
    // of them are announced first, so that their pages are kept while they are still needed.
    // The values of a row so read stay valid while rows of other tables are read.
    void expectRows(const std::vector<quint32>& places);
    bool readRow(quint32 place);
    // Where the row read last lies.
    quint32 rowPlace() const;

    // Why reading stopped before the end; empty otherwise.
    QString error() const;

    // Values of the row read last. A yes/no column is never null (a calculated one can be).
    bool isNull(int column) const;
    // Appends the value's text in UTF-8 (see Result::appendText); nothing for a null. A value
    // that is damaged or of a type that has no text appends nothing and sets error().
    void appendText(int column, QByteArray& out);
    // A date column's value; an invalid QDateTime for a null (or a column of another type).
    QDateTime dateValue(int column) const;
    // The value as a saved query compares it (see Datum).
    Datum datum(int column);

private:
    struct Impl;
    explicit Table(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace Mdb
