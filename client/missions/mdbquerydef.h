#pragma once

#include "client/missions/mdbcondition.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace Mdb {

// One row of the database's query catalog (MSysQueries) for a saved query. Attributes: 1 the
// kind of query, 2 a parameter, 3 options, 4 another database, 5 a source, 6 an output column,
// 7 a join, 8 the Where condition, 9 Group By, 10 Having, 11 Order By; 0 and 255 open and close
// the list.
struct QueryCatalogRow {
    int attribute = -1;
    int flag = 0;
    QString name1;
    QString name2;
    QString expression;
    QByteArray order; // orders the rows of an attribute
};

// A saved select query of the forms a store's report query takes: output columns (or *) of one
// table or of tables joined on equal columns, conditions of columns with constants, an order.
struct QueryDefinition {
    struct Source {
        QString table;
        QString name; // how the query names it: its alias, else the table's name
    };
    struct Output {
        Sql::ColumnRef ref; // column "*": every column of the source, or of all of them
        QString alias;
    };
    struct Order {
        Sql::ColumnRef ref;
        bool descending = false;
    };

    std::vector<Source> sources;
    std::vector<Output> outputs;
    // Every condition must hold: those of the joins, then the Where.
    std::vector<std::unique_ptr<Sql::Node>> conditions;
    std::vector<Order> order;
    // Rows that come from the same rows of the sources that give output columns come once.
    bool distinctRow = false;
};

// Reads the catalog rows of one saved query into its definition. False with `unsupported`
// naming what the query uses that is not one of those forms (a union, GROUP BY, a function, a
// parameter, an outer join, DISTINCT, TOP...).
bool readQueryDefinition(std::vector<QueryCatalogRow> rows, QueryDefinition* out,
                         QString* unsupported);

} // namespace Mdb
