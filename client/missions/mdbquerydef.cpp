#include "client/missions/mdbquerydef.h"

#include <algorithm>

namespace Mdb {

namespace {

enum Attribute {
    Start = 0,
    Kind = 1,
    Parameter = 2,
    Options = 3,
    OtherDatabase = 4,
    Source = 5,
    Column = 6,
    Join = 7,
    Where = 8,
    GroupBy = 9,
    Having = 10,
    OrderBy = 11,
    End = 255,
};

enum Option {
    AllColumns = 1,
    Distinct = 2,
    OwnerAccess = 4,
    DistinctRow = 8,
    Top = 16,
    Percent = 32,
};

constexpr int SelectQuery = 1;
constexpr int InnerJoin = 1;

QString kindOfQuery(int kind) {
    switch (kind) {
    case 2:
        return QStringLiteral("a make-table query");
    case 3:
        return QStringLiteral("an append query");
    case 4:
        return QStringLiteral("an update query");
    case 5:
        return QStringLiteral("a delete query");
    case 6:
        return QStringLiteral("a crosstab query");
    case 7:
        return QStringLiteral("a data-definition query");
    case 8:
        return QStringLiteral("a pass-through query");
    case 9:
        return QStringLiteral("a union query");
    default:
        return QStringLiteral("a query of kind %1").arg(kind);
    }
}

// Columns compared for equality, joined by And: the form of a join.
bool equalColumns(const Sql::Node& node) {
    if (node.kind == Sql::Node::Kind::And)
        return std::all_of(node.children.begin(), node.children.end(),
                           [](const auto& child) { return equalColumns(*child); });
    return node.kind == Sql::Node::Kind::Compare && node.op == QLatin1String("=") &&
           node.children[0]->kind == Sql::Node::Kind::Column &&
           node.children[1]->kind == Sql::Node::Kind::Column;
}

bool fail(QString* unsupported, const QString& what) {
    *unsupported = what;
    return false;
}

} // namespace

bool readQueryDefinition(std::vector<QueryCatalogRow> rows, QueryDefinition* out,
                         QString* unsupported) {
    // Rows of one attribute come in the order their Order values give; stored order otherwise.
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return a.attribute != b.attribute ? a.attribute < b.attribute : a.order < b.order;
    });
    QueryDefinition definition;
    bool allColumns = false;
    for (const QueryCatalogRow& row : rows) {
        switch (row.attribute) {
        case Start:
        case End:
            break;
        case Kind:
            if (row.flag != SelectQuery)
                return fail(unsupported, kindOfQuery(row.flag));
            break;
        case Parameter:
            return fail(unsupported, QStringLiteral("the parameter [%1]").arg(row.name1));
        case Options:
            if (row.flag & Top)
                return fail(unsupported,
                            QStringLiteral("TOP %1%2")
                                .arg(row.name1,
                                     row.flag & Percent ? QStringLiteral(" PERCENT") : QString()));
            if (row.flag & Distinct)
                return fail(unsupported, QStringLiteral("DISTINCT"));
            if (row.flag & ~(AllColumns | OwnerAccess | DistinctRow))
                return fail(unsupported, QStringLiteral("query options %1").arg(row.flag));
            allColumns = row.flag & AllColumns;
            definition.distinctRow = row.flag & DistinctRow;
            break;
        case OtherDatabase:
            return fail(
                unsupported,
                QStringLiteral("tables of another database (%1)").arg(row.name1 + row.expression));
        case Source:
            if (!row.expression.isEmpty() || row.name1.isEmpty())
                return fail(unsupported, QStringLiteral("a query in its From clause"));
            definition.sources.push_back({row.name1, row.name2.isEmpty() ? row.name1 : row.name2});
            break;
        case Column: {
            QueryDefinition::Output output;
            if (row.flag != 0 || !Sql::parseColumnRef(row.expression, &output.ref))
                return fail(unsupported, QStringLiteral("the expression %1").arg(row.expression));
            output.alias = row.name1;
            definition.outputs.push_back(output);
            break;
        }
        case Join: {
            if (row.flag != InnerJoin)
                return fail(unsupported,
                            QStringLiteral("an outer join of %1 and %2").arg(row.name1, row.name2));
            std::unique_ptr<Sql::Node> condition = Sql::parseCondition(row.expression);
            if (!condition || !equalColumns(*condition))
                return fail(unsupported,
                            QStringLiteral("the join condition %1").arg(row.expression));
            definition.conditions.push_back(std::move(condition));
            break;
        }
        case Where: {
            std::unique_ptr<Sql::Node> condition = Sql::parseCondition(row.expression);
            if (!condition)
                return fail(unsupported, QStringLiteral("the condition %1").arg(row.expression));
            definition.conditions.push_back(std::move(condition));
            break;
        }
        case GroupBy:
            return fail(unsupported, QStringLiteral("GROUP BY"));
        case Having:
            return fail(unsupported, QStringLiteral("HAVING"));
        case OrderBy: {
            QueryDefinition::Order order;
            if (!Sql::parseColumnRef(row.expression, &order.ref) ||
                order.ref.column == QLatin1String("*"))
                return fail(unsupported, QStringLiteral("the ordering %1").arg(row.expression));
            order.descending = row.name1.compare(QLatin1String("D"), Qt::CaseInsensitive) == 0;
            definition.order.push_back(order);
            break;
        }
        default:
            return fail(unsupported, QStringLiteral("query parts of kind %1").arg(row.attribute));
        }
    }
    if (definition.sources.empty())
        return fail(unsupported, QStringLiteral("no table"));
    // SELECT * lists every column of every source before the columns written out.
    if (allColumns)
        definition.outputs.insert(definition.outputs.begin(),
                                  QueryDefinition::Output{{QString(), QStringLiteral("*")}, {}});
    if (definition.outputs.empty())
        return fail(unsupported, QStringLiteral("no output columns"));
    *out = std::move(definition);
    return true;
}

} // namespace Mdb
