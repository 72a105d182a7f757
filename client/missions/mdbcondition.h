#pragma once

#include <QString>

#include <memory>
#include <vector>

// The parts of a saved query's definition that are written as SQL text: column references and
// the conditions of its joins and its Where, in the forms a store's report query takes.
namespace Mdb::Sql {

// A column as a query names it: Table.Column, [Table].[Column], Column; Table.* or * for every
// column (column "*").
struct ColumnRef {
    QString source; // empty: whichever source has the column
    QString column;
};

// A constant: a number, a text ("..." or '...'), a date (#...#, to days since 12/30/1899 with the
// time as the fraction), a yes/no (True, Yes, On: -1; False, No, Off: 0), or Null.
struct Literal {
    enum class Kind { Null, Number, Text, Date, YesNo };
    Kind kind = Kind::Null;
    double number = 0;
    QString text;
};

struct Node {
    enum class Kind { Column, Literal, Compare, Between, IsNull, And, Or, Not };
    Kind kind = Kind::Literal;
    ColumnRef column;
    Literal literal;
    QString op;           // Compare: = <> < <= > >=
    bool negated = false; // IsNull: Is Not Null
    std::vector<std::unique_ptr<Node>> children;
    // Set when the column is found: the source and the place of its value in a row.
    int source = -1;
    int slot = -1;
};

// A column reference alone; false for anything else.
bool parseColumnRef(const QString& text, ColumnRef* out);

// A condition: comparisons (= <> < <= > >=, Between ... And ..., Is [Not] Null) of a column with
// constants, or of two columns, joined by And, Or and Not, in parentheses or not. nullptr for
// anything else (functions, calculations, parameters of forms, subqueries, Like, In).
std::unique_ptr<Node> parseCondition(const QString& text);

} // namespace Mdb::Sql
