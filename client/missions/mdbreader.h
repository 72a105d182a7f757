#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Reads tables and saved select queries of the point-of-sale .mdb files (Jet 3, Jet 4 and its
// successors) through libmdb. A getdata mission only ever asks for
//   Select columns From table-or-query [Where start >= S] [And end <= E] [Order By start or end]
// so the query arrives already taken apart. A saved query is run from its definition in the
// database's query catalog, in the forms a store's report query takes (see mdbquerydef.h). The
// file is opened read-only and never locked or changed.
namespace Mdb {

// One date limit of a query. Names may be written in square brackets, as in the SQL text.
struct DateLimit {
    bool used = false;
    QString column;
    QDateTime value;
};

struct Query {
    QString table; // or saved query
    // Column names in output order; "*" stands for every column of the table.
    QStringList columns;
    // Rows whose start column is on or after start.value; the result is ordered by that column.
    DateLimit start;
    // Rows whose end column is on or before end.value; ordered by it when there is no start limit.
    DateLimit end;
};

class Database;

// The rows of one query. Without a limit the rows of a table stream in the order they are
// stored; with a limit the result keeps a small key per matching row and reads each row again in
// order. A saved query's rows are found first and then read one by one in the query's order.
// A Result must be destroyed before its Database.
class Result {
public:
    ~Result();
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    QStringList columnNames() const;
    // The result column of that name, compared without regard to case; -1 when there is none.
    int findColumn(const QString& name) const;

    // Moves to the next row; false after the last one (or when reading failed: see error()).
    // A damaged page or row, a page map that loops or a table that ends before its row count
    // is a failure, never a row.
    bool next();
    // Number of rows of an ordered result; -1 for a streamed one.
    qint64 rowCount() const;
    // Why reading stopped before the end (a damaged or truncated file); empty otherwise.
    QString error() const;

    // Values of the current row. A yes/no column is never null (a calculated one can be).
    bool isNull(int column) const;
    // Appends the value's text in UTF-8: text as stored, numbers in plain decimal form, dates
    // as M/d/yyyy with the time only when it is not midnight, yes/no as True or False; a
    // calculated column's value as a value of its result type. Appends nothing for a null. A
    // damaged value, or one of a type that has no text, appends nothing and sets error(), after
    // which next() is false.
    void appendText(int column, QByteArray& out) const;
    // The values of the limit columns in the current row (whether or not they are among the
    // selected columns); an invalid QDateTime when the limit is not used or the value is null.
    QDateTime startValue() const;
    QDateTime endValue() const;

private:
    friend class Database;
    struct Impl;
    explicit Result(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the file read-only and reads its catalog. False with a description when the file
    // is not a database that can be read.
    bool open(const QString& path, QString* error);
    bool isOpen() const;
    void close();

    // Called for every page a query reads, so that a watcher can tell slow from stuck.
    void setProgress(std::function<void()> onPageRead);

    // Runs a query: nullptr with a description when it cannot be run (not open, unknown table
    // or column, a saved query of a form that cannot be run here, a limit column that is not a
    // date, a name that the SQL text would need in square brackets).
    std::unique_ptr<Result> execute(const Query& query, QString* error);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace Mdb
