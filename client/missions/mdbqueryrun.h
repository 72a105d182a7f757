#pragma once

#include "client/missions/mdbreader.h"
#include "client/missions/mdbtable.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace Mdb {

struct QueryCatalogRow;
struct QueryDefinition;

// The tables of the database a saved query reads.
struct TableCatalog {
    // Opens a table by its name; nullptr with a description when there is none of that name.
    std::function<std::unique_ptr<Table>(const QString& name, QString* error)> open;
    std::function<bool(const QString& name)> isQuery;
};

// The error text of a saved query that uses what cannot be run here.
QString unsupportedQuery(const QString& queryName, const QString& what);

// The rows of the query catalog (MSysQueries) that define the saved query of that name, found
// through its id in the object catalog (MSysObjects).
bool readQueryCatalog(const TableCatalog& catalog, const QString& queryName,
                      std::vector<QueryCatalogRow>* rows, QString* error);

// What a saved query gives: its output columns and, for each of its rows, where the row of each
// source lies (Table::readRow), one place per table.
struct QueryRows {
    struct Column {
        int table = -1;
        int column = -1;
        QString name;
    };
    std::vector<std::unique_ptr<Table>> tables; // one per source
    std::vector<Column> columns;
    std::vector<quint32> places;
    Column start; // the columns of the date limits; table -1 when not used
    Column end;
};

// Runs a saved query with a mission's date limits on top, which name output columns of it. The
// rows come in the query's order, or with limits in the order of the start column, else the end
// column (equal dates in the query's order). False with a description when the query uses what
// cannot be run here or a table cannot be read.
// The definition's conditions are completed with where their columns' values are found.
bool runQuery(const QString& queryName, QueryDefinition& definition, const TableCatalog& catalog,
              const DateLimit& start, const DateLimit& end, QueryRows* out, QString* error);

} // namespace Mdb
