#include "client/missions/mdbqueryrun.h"

#include "client/missions/mdbquerydef.h"
#include "client/missions/mdbvalues.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <unordered_map>

namespace Mdb {

namespace {

using Sql::Node;

using Stored::SecondsPerDay;
using Stored::timeLine;
constexpr quint32 Unset = 0xffffffffu;

enum class ValueClass { Number, Text, None };

ValueClass classOf(int type) {
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_NUMERIC:
    case Stored::BigIntType:
    case Stored::ExtendedDateType:
        return ValueClass::Number;
    case MDB_TEXT:
    case MDB_MEMO:
        return ValueClass::Text;
    default:
        return ValueClass::None;
    }
}

enum class Truth { False, True, Unknown };

Truth truth(bool value) {
    return value ? Truth::True : Truth::False;
}

// Dates compare to the second, as a table's rows are limited and ordered.
qint64 timeLine(double days) {
    return std::llround(days * double(SecondsPerDay));
}

// -1, 0 or 1; nulls come first. Texts compare without regard to case, as the engine's do.
int compareValues(const Datum& a, const Datum& b) {
    if (a.kind == Datum::Kind::Null || b.kind == Datum::Kind::Null)
        return int(b.kind == Datum::Kind::Null) - int(a.kind == Datum::Kind::Null);
    if (a.kind == Datum::Kind::Text && b.kind == Datum::Kind::Text) {
        const int c = a.text.compare(b.text, Qt::CaseInsensitive);
        return (c > 0) - (c < 0);
    }
    return (a.number > b.number) - (a.number < b.number);
}

Datum literalValue(const Sql::Literal& literal) {
    Datum d;
    if (literal.kind == Sql::Literal::Kind::Text) {
        d.kind = Datum::Kind::Text;
        d.text = literal.text;
    } else if (literal.kind != Sql::Literal::Kind::Null) {
        d.kind = Datum::Kind::Number;
        d.number = literal.number;
    }
    return d;
}

// The equal values of a join as one key; false when one of them is null, which joins nothing.
bool joinKey(const std::vector<const Datum*>& values, QString* key) {
    key->clear();
    for (const Datum* value : values) {
        if (value->kind == Datum::Kind::Null)
            return false;
        if (value->kind == Datum::Kind::Number)
            *key += QLatin1Char('n') + QString::number(value->number + 0.0, 'g', 17);
        else
            *key += QLatin1Char('t') + value->text.toCaseFolded();
        *key += QChar(0x1f);
    }
    return true;
}

// The rows of one source that pass its own conditions, with the values the query needs of them.
struct SourceRows {
    std::vector<int> columns; // the table columns whose values are kept, by slot
    std::vector<quint32> places;
    std::vector<Datum> values; // columns.size() per row

    int slot(int column) {
        const auto found = std::find(columns.begin(), columns.end(), column);
        if (found != columns.end())
            return int(found - columns.begin());
        columns.push_back(column);
        return int(columns.size()) - 1;
    }
    const Datum& value(quint32 row, int slot) const {
        return values[size_t(row) * columns.size() + size_t(slot)];
    }
};

// A join between a source and another one, on equal columns.
struct Edge {
    int source[2];
    int slot[2];
};

class Run {
public:
    Run(const QString& queryName, QueryDefinition& definition, QueryRows* out)
        : m_name(queryName), m_definition(definition), m_out(out) {}

    bool run(const TableCatalog& catalog, const DateLimit& start, const DateLimit& end) {
        return openSources(catalog) && makeColumns() && limit(start, true, &m_out->start) &&
               limit(end, false, &m_out->end) && planConditions() && planOrder() && readSources() &&
               join() && filterJoined() && keepDistinctRows() && sort() && place();
    }
    QString error() const {
        return m_error;
    }

private:
    bool unsupported(const QString& what) {
        m_error = unsupportedQuery(m_name, what);
        return false;
    }
    int sourceCount() const {
        return int(m_definition.sources.size());
    }
    Table& table(int source) {
        return *m_out->tables[size_t(source)];
    }

    bool openSources(const TableCatalog& catalog) {
        for (const QueryDefinition::Source& source : m_definition.sources) {
            if (catalog.isQuery(source.table))
                return unsupported(
                    QStringLiteral("the saved query '%1' as a source").arg(source.table));
            std::unique_ptr<Table> table = catalog.open(source.table, &m_error);
            if (!table)
                return false;
            m_out->tables.push_back(std::move(table));
        }
        m_rows.resize(m_definition.sources.size());
        return true;
    }

    // The source and column a reference names; an error when it names none, or more than one.
    bool resolve(const Sql::ColumnRef& ref, int* source, int* column) {
        *source = -1;
        for (int s = 0; s < sourceCount(); ++s) {
            if (!ref.source.isEmpty() &&
                m_definition.sources[size_t(s)].name.compare(ref.source, Qt::CaseInsensitive) != 0)
                continue;
            const int c = table(s).findColumn(ref.column);
            if (c < 0)
                continue;
            if (*source >= 0)
                return unsupported(
                    QStringLiteral("the name [%1] (a column of more than one of its tables)")
                        .arg(ref.column));
            *source = s;
            *column = c;
        }
        if (*source < 0)
            return unsupported(
                QStringLiteral("the name [%1] (not a column of its tables)")
                    .arg(ref.source.isEmpty() ? ref.column : ref.source + "." + ref.column));
        return true;
    }

    bool makeColumns() {
        for (const QueryDefinition::Output& output : m_definition.outputs) {
            if (output.ref.column == QLatin1String("*")) {
                bool found = false;
                for (int s = 0; s < sourceCount(); ++s) {
                    if (!output.ref.source.isEmpty() &&
                        m_definition.sources[size_t(s)].name.compare(output.ref.source,
                                                                     Qt::CaseInsensitive) != 0)
                        continue;
                    found = true;
                    for (int c = 0; c < table(s).columnCount(); ++c)
                        m_out->columns.push_back({s, c, table(s).columnName(c)});
                }
                if (!found)
                    return unsupported(QStringLiteral("[%1].*, which is not one of its tables")
                                           .arg(output.ref.source));
                continue;
            }
            QueryRows::Column column;
            if (!resolve(output.ref, &column.table, &column.column))
                return false;
            column.name = output.alias.isEmpty() ? table(column.table).columnName(column.column)
                                                 : output.alias;
            m_out->columns.push_back(column);
        }
        // Columns of the same name from different tables are named with their table's name.
        std::vector<QueryRows::Column>& columns = m_out->columns;
        std::vector<bool> shared(columns.size(), false);
        for (size_t i = 0; i < columns.size(); ++i) {
            for (size_t j = i + 1; j < columns.size(); ++j) {
                if (columns[i].name.compare(columns[j].name, Qt::CaseInsensitive) == 0)
                    shared[i] = shared[j] = true;
            }
        }
        for (size_t i = 0; i < columns.size(); ++i) {
            if (shared[i] &&
                columns[i].name == table(columns[i].table).columnName(columns[i].column))
                columns[i].name =
                    m_definition.sources[size_t(columns[i].table)].name + "." + columns[i].name;
        }
        return true;
    }

    bool limit(const DateLimit& limit, bool isStart, QueryRows::Column* out) {
        if (!limit.used)
            return true;
        for (const QueryRows::Column& column : m_out->columns) {
            if (column.name.compare(limit.column, Qt::CaseInsensitive) != 0)
                continue;
            if (!table(column.table).holdsDates(column.column)) {
                m_error = QStringLiteral("data type mismatch: column '%1' of query '%2' does not "
                                         "hold dates")
                              .arg(limit.column, m_name);
                return false;
            }
            *out = column;
            m_limits.push_back({timeLine(limit.value), isStart, column.table,
                                m_rows[size_t(column.table)].slot(column.column)});
            return true;
        }
        m_error = QStringLiteral("there is no column '%1' in query '%2'").arg(limit.column, m_name);
        return false;
    }

    // Finds the columns of a condition and checks that what it compares can be compared.
    bool resolveCondition(Node& node) {
        switch (node.kind) {
        case Node::Kind::And:
        case Node::Kind::Or:
        case Node::Kind::Not:
            return std::all_of(node.children.begin(), node.children.end(),
                               [this](auto& child) { return resolveCondition(*child); });
        case Node::Kind::IsNull:
            return operand(*node.children[0], true);
        case Node::Kind::Compare:
        case Node::Kind::Between: {
            for (auto& child : node.children) {
                if (!operand(*child, false))
                    return false;
            }
            const auto column = std::find_if(node.children.begin(), node.children.end(),
                                             [](auto& c) { return c->kind == Node::Kind::Column; });
            if (column == node.children.end())
                return unsupported(QStringLiteral("a condition without a column"));
            const ValueClass wanted = classOf(
                table((*column)->source)
                    .valueType(m_rows[size_t((*column)->source)].columns[size_t((*column)->slot)]));
            for (auto& child : node.children) {
                if (!fits(*child, wanted, (*column)->column.column))
                    return false;
            }
            return true;
        }
        default:
            return unsupported(QStringLiteral("a condition that is not a comparison"));
        }
    }

    bool operand(Node& node, bool columnOnly) {
        if (node.kind == Node::Kind::Literal && !columnOnly)
            return true;
        if (node.kind != Node::Kind::Column)
            return unsupported(QStringLiteral("a condition that is not a comparison"));
        int column = -1;
        if (!resolve(node.column, &node.source, &column))
            return false;
        if (classOf(table(node.source).valueType(column)) == ValueClass::None)
            return unsupported(QStringLiteral("a comparison of column [%1], whose values cannot "
                                              "be compared")
                                   .arg(node.column.column));
        node.slot = m_rows[size_t(node.source)].slot(column);
        return true;
    }

    // A number is compared with numbers, dates and yes/no; a text with texts. A text constant
    // that is a number compares with numbers.
    bool fits(Node& node, ValueClass wanted, const QString& column) {
        if (node.kind == Node::Kind::Column) {
            const int tableColumn = m_rows[size_t(node.source)].columns[size_t(node.slot)];
            if (classOf(table(node.source).valueType(tableColumn)) == wanted)
                return true;
        } else {
            Sql::Literal& literal = node.literal;
            bool number = false;
            if (literal.kind == Sql::Literal::Kind::Text && wanted == ValueClass::Number)
                literal.number = literal.text.trimmed().toDouble(&number);
            if (number)
                literal.kind = Sql::Literal::Kind::Number;
            if (literal.kind == Sql::Literal::Kind::Null ||
                (literal.kind == Sql::Literal::Kind::Text) == (wanted == ValueClass::Text))
                return true;
        }
        return unsupported(
            QStringLiteral("a comparison of column [%1] with a value of another type").arg(column));
    }

    // Splits the conditions at their Ands: equal columns of two sources join them, a condition on
    // one source is checked as its rows are read, the rest once the rows are joined.
    bool planConditions() {
        std::vector<Node*> parts;
        std::function<void(Node&)> split = [&](Node& node) {
            if (node.kind == Node::Kind::And) {
                for (auto& child : node.children)
                    split(*child);
            } else {
                parts.push_back(&node);
            }
        };
        for (auto& condition : m_definition.conditions) {
            if (!resolveCondition(*condition))
                return false;
            split(*condition);
        }
        m_sourceConditions.resize(size_t(sourceCount()));
        for (Node* part : parts) {
            std::set<int> sources;
            collectSources(*part, &sources);
            const bool equalColumns = part->kind == Node::Kind::Compare &&
                                      part->op == QLatin1String("=") &&
                                      part->children[0]->kind == Node::Kind::Column &&
                                      part->children[1]->kind == Node::Kind::Column;
            if (equalColumns && sources.size() == 2)
                m_edges.push_back({{part->children[0]->source, part->children[1]->source},
                                   {part->children[0]->slot, part->children[1]->slot}});
            else if (sources.size() == 1)
                m_sourceConditions[size_t(*sources.begin())].push_back(part);
            else
                m_joinedConditions.push_back(part);
        }
        // Every source must be joined to the first one: rows are never multiplied unjoined.
        std::vector<bool> reached(size_t(sourceCount()), false);
        reached[0] = true;
        for (bool grew = true; grew;) {
            grew = false;
            for (const Edge& edge : m_edges) {
                if (reached[size_t(edge.source[0])] != reached[size_t(edge.source[1])]) {
                    reached[size_t(edge.source[0])] = reached[size_t(edge.source[1])] = true;
                    grew = true;
                }
            }
        }
        for (int s = 0; s < sourceCount(); ++s) {
            if (!reached[size_t(s)])
                return unsupported(QStringLiteral("the table '%1' without a join to the others")
                                       .arg(m_definition.sources[size_t(s)].name));
        }
        return true;
    }

    static void collectSources(const Node& node, std::set<int>* sources) {
        if (node.kind == Node::Kind::Column)
            sources->insert(node.source);
        for (const auto& child : node.children)
            collectSources(*child, sources);
    }

    bool planOrder() {
        for (const QueryDefinition::Order& order : m_definition.order) {
            int source = -1;
            int column = -1;
            if (!resolve(order.ref, &source, &column))
                return false;
            if (classOf(table(source).valueType(column)) == ValueClass::None)
                return unsupported(QStringLiteral("an order by column [%1], whose values cannot "
                                                  "be compared")
                                       .arg(order.ref.column));
            m_order.push_back({source, m_rows[size_t(source)].slot(column), order.descending});
        }
        return true;
    }

    Truth evaluate(const Node& node, const quint32* combined) const {
        const auto value = [&](const Node& n) {
            return n.kind == Node::Kind::Column
                       ? m_rows[size_t(n.source)].value(combined[n.source], n.slot)
                       : literalValue(n.literal);
        };
        switch (node.kind) {
        case Node::Kind::And:
        case Node::Kind::Or: {
            const bool isAnd = node.kind == Node::Kind::And;
            Truth result = truth(isAnd);
            for (const auto& child : node.children) {
                const Truth t = evaluate(*child, combined);
                if (t == truth(!isAnd))
                    return t;
                if (t == Truth::Unknown)
                    result = Truth::Unknown;
            }
            return result;
        }
        case Node::Kind::Not: {
            const Truth t = evaluate(*node.children[0], combined);
            return t == Truth::Unknown ? t : truth(t == Truth::False);
        }
        case Node::Kind::IsNull:
            return truth((value(*node.children[0]).kind == Datum::Kind::Null) != node.negated);
        case Node::Kind::Between: {
            const Datum v = value(*node.children[0]);
            const Datum low = value(*node.children[1]);
            const Datum high = value(*node.children[2]);
            if (v.kind == Datum::Kind::Null || low.kind == Datum::Kind::Null ||
                high.kind == Datum::Kind::Null)
                return Truth::Unknown;
            return truth(compareValues(v, low) >= 0 && compareValues(v, high) <= 0);
        }
        case Node::Kind::Compare: {
            const Datum a = value(*node.children[0]);
            const Datum b = value(*node.children[1]);
            if (a.kind == Datum::Kind::Null || b.kind == Datum::Kind::Null)
                return Truth::Unknown;
            const int c = compareValues(a, b);
            const QString& op = node.op;
            if (op == QLatin1String("="))
                return truth(c == 0);
            if (op == QLatin1String("<>"))
                return truth(c != 0);
            if (op == QLatin1String("<"))
                return truth(c < 0);
            if (op == QLatin1String("<="))
                return truth(c <= 0);
            if (op == QLatin1String(">"))
                return truth(c > 0);
            return truth(c >= 0);
        }
        default:
            return Truth::Unknown;
        }
    }

    // Reads every source once, keeping the rows that pass its own conditions and limits.
    bool readSources() {
        std::vector<quint32> combined(size_t(sourceCount()), Unset);
        for (int s = 0; s < sourceCount(); ++s) {
            SourceRows& rows = m_rows[size_t(s)];
            Table& t = table(s);
            while (t.nextStored()) {
                const quint32 row = quint32(rows.places.size());
                for (const int column : rows.columns)
                    rows.values.push_back(t.datum(column));
                combined[size_t(s)] = row;
                bool keep = withinLimits(s, row);
                for (const Node* condition : m_sourceConditions[size_t(s)])
                    keep = keep && evaluate(*condition, combined.data()) == Truth::True;
                if (keep)
                    rows.places.push_back(t.rowPlace());
                else
                    rows.values.resize(rows.values.size() - rows.columns.size());
            }
            if (!t.error().isEmpty()) {
                m_error = t.error();
                return false;
            }
        }
        return true;
    }

    bool withinLimits(int source, quint32 row) const {
        for (const Limit& limit : m_limits) {
            if (limit.source != source)
                continue;
            const Datum& value = m_rows[size_t(source)].value(row, limit.slot);
            if (value.kind != Datum::Kind::Number)
                return false;
            const qint64 at = timeLine(value.number);
            if (limit.isStart ? at < limit.at : at > limit.at)
                return false;
        }
        return true;
    }

    // Joins the sources one by one, each to those joined before it, in the order the first
    // source's rows come and then the joined rows of each.
    bool join() {
        const size_t n = size_t(sourceCount());
        for (quint32 row = 0; row < m_rows[0].places.size(); ++row) {
            m_combined.push_back(row);
            m_combined.insert(m_combined.end(), n - 1, Unset);
        }
        std::vector<bool> joined(n, false);
        joined[0] = true;
        for (size_t count = 1; count < n; ++count) {
            // The next source joined to those before it, and all its joins to them, each with
            // the new source first.
            int next = -1;
            std::vector<Edge> edges;
            std::vector<Edge> rest;
            for (const Edge& edge : m_edges) {
                bool used = false;
                for (int side = 0; side < 2 && !used; ++side) {
                    const int from = edge.source[side];
                    const int to = edge.source[1 - side];
                    if (!joined[size_t(from)] || joined[size_t(to)] || (next >= 0 && to != next))
                        continue;
                    next = to;
                    edges.push_back({{to, from}, {edge.slot[1 - side], edge.slot[side]}});
                    used = true;
                }
                if (!used)
                    rest.push_back(edge);
            }
            if (next < 0)
                return unsupported(QStringLiteral("a table without a join to the others"));
            m_edges.swap(rest);
            std::unordered_map<QString, std::vector<quint32>> byKey;
            const SourceRows& rows = m_rows[size_t(next)];
            std::vector<const Datum*> values(edges.size());
            QString key;
            for (quint32 row = 0; row < rows.places.size(); ++row) {
                for (size_t e = 0; e < edges.size(); ++e)
                    values[e] = &rows.value(row, edges[e].slot[0]);
                if (joinKey(values, &key))
                    byKey[key].push_back(row);
            }
            std::vector<quint32> grown;
            for (size_t at = 0; at < m_combined.size(); at += n) {
                for (size_t e = 0; e < edges.size(); ++e) {
                    const int source = edges[e].source[1];
                    values[e] = &m_rows[size_t(source)].value(m_combined[at + size_t(source)],
                                                              edges[e].slot[1]);
                }
                if (!joinKey(values, &key))
                    continue;
                const auto found = byKey.find(key);
                if (found == byKey.end())
                    continue;
                for (const quint32 row : found->second) {
                    copyRow(at, &grown);
                    grown[grown.size() - n + size_t(next)] = row;
                }
            }
            m_combined.swap(grown);
            joined[size_t(next)] = true;
        }
        return true;
    }

    bool filterJoined() {
        if (m_joinedConditions.empty())
            return true;
        const size_t n = size_t(sourceCount());
        std::vector<quint32> kept;
        for (size_t at = 0; at < m_combined.size(); at += n) {
            const quint32* combined = m_combined.data() + at;
            bool keep = true;
            for (const Node* condition : m_joinedConditions)
                keep = keep && evaluate(*condition, combined) == Truth::True;
            if (keep)
                copyRow(at, &kept);
        }
        m_combined.swap(kept);
        return true;
    }

    // DISTINCTROW: a row of the sources that give output columns comes once, however many rows
    // of the other sources it joins.
    bool keepDistinctRows() {
        std::vector<int> giving;
        for (const QueryRows::Column& column : m_out->columns) {
            if (std::find(giving.begin(), giving.end(), column.table) == giving.end())
                giving.push_back(column.table);
        }
        const size_t n = size_t(sourceCount());
        if (!m_definition.distinctRow || giving.size() == n)
            return true;
        std::set<std::vector<quint32>> seen;
        std::vector<quint32> kept;
        std::vector<quint32> key(giving.size());
        for (size_t at = 0; at < m_combined.size(); at += n) {
            for (size_t i = 0; i < giving.size(); ++i)
                key[i] = m_combined[at + size_t(giving[i])];
            if (seen.insert(key).second)
                copyRow(at, &kept);
        }
        m_combined.swap(kept);
        return true;
    }

    // With limits the rows come in the order of the limit column, else in the query's order.
    bool sort() {
        const size_t n = size_t(sourceCount());
        std::vector<size_t> order(m_combined.size() / n);
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i * n;
        if (!m_limits.empty()) {
            const Limit& by = m_limits.front();
            std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
                const SourceRows& rows = m_rows[size_t(by.source)];
                return timeLine(rows.value(m_combined[a + size_t(by.source)], by.slot).number) <
                       timeLine(rows.value(m_combined[b + size_t(by.source)], by.slot).number);
            });
        } else if (!m_order.empty()) {
            std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
                for (const OrderTerm& term : m_order) {
                    const SourceRows& rows = m_rows[size_t(term.source)];
                    const int c =
                        compareValues(rows.value(m_combined[a + size_t(term.source)], term.slot),
                                      rows.value(m_combined[b + size_t(term.source)], term.slot));
                    if (c != 0)
                        return term.descending ? c > 0 : c < 0;
                }
                return false;
            });
        }
        std::vector<quint32> sorted;
        sorted.reserve(m_combined.size());
        for (const size_t at : order)
            copyRow(at, &sorted);
        m_combined.swap(sorted);
        return true;
    }

    // Appends the joined row that starts at `at` of m_combined.
    void copyRow(size_t at, std::vector<quint32>* to) const {
        const auto first = m_combined.begin() + qsizetype(at);
        to->insert(to->end(), first, first + sourceCount());
    }

    bool place() {
        const size_t n = size_t(sourceCount());
        m_out->places.reserve(m_combined.size());
        std::vector<std::vector<quint32>> bySource(n);
        for (size_t at = 0; at < m_combined.size(); at += n) {
            for (size_t s = 0; s < n; ++s) {
                const quint32 where = m_rows[s].places[m_combined[at + s]];
                m_out->places.push_back(where);
                bySource[s].push_back(where);
            }
        }
        for (size_t s = 0; s < n; ++s)
            table(int(s)).expectRows(bySource[s]);
        return true;
    }

    struct Limit {
        qint64 at;
        bool isStart;
        int source;
        int slot;
    };
    struct OrderTerm {
        int source;
        int slot;
        bool descending;
    };

    QString m_name;
    QueryDefinition& m_definition;
    QueryRows* m_out;
    QString m_error;
    std::vector<SourceRows> m_rows;
    std::vector<Limit> m_limits;
    std::vector<Edge> m_edges;
    std::vector<std::vector<const Node*>> m_sourceConditions;
    std::vector<const Node*> m_joinedConditions;
    std::vector<OrderTerm> m_order;
    std::vector<quint32> m_combined; // a row index of every source per joined row
};

} // namespace

QString unsupportedQuery(const QString& queryName, const QString& what) {
    return QStringLiteral("the saved query '%1' uses %2, which cannot be run here")
        .arg(queryName, what);
}

bool readQueryCatalog(const TableCatalog& catalog, const QString& queryName,
                      std::vector<QueryCatalogRow>* rows, QString* error) {
    std::unique_ptr<Table> objects = catalog.open(QStringLiteral("MSysObjects"), error);
    std::unique_ptr<Table> queries = catalog.open(QStringLiteral("MSysQueries"), error);
    if (!objects || !queries)
        return false;
    const auto columns = [](const Table& t, std::initializer_list<const char*> names) {
        std::vector<int> found;
        for (const char* name : names)
            found.push_back(t.findColumn(QLatin1String(name)));
        return found;
    };
    const std::vector<int> o = columns(*objects, {"Id", "Name", "Type"});
    const std::vector<int> q = columns(
        *queries, {"ObjectId", "Attribute", "Flag", "Name1", "Name2", "Expression", "Order"});
    if (std::count(o.begin(), o.end(), -1) + std::count(q.begin(), q.end(), -1) > 0) {
        *error = QStringLiteral("the query catalog of the database cannot be read");
        return false;
    }
    constexpr double QueryType = 5;
    double id = 0;
    bool found = false;
    while (!found && objects->nextStored()) {
        found = objects->datum(o[2]).number == QueryType &&
                objects->datum(o[1]).text.compare(queryName, Qt::CaseInsensitive) == 0;
        id = objects->datum(o[0]).number;
    }
    const auto text = [&](int column) { return queries->datum(column).text; };
    while (found && queries->nextStored()) {
        if (queries->datum(q[0]).number != id || queries->isNull(q[1]))
            continue;
        QueryCatalogRow row;
        row.attribute = int(queries->datum(q[1]).number);
        row.flag = int(queries->datum(q[2]).number);
        row.name1 = text(q[3]);
        row.name2 = text(q[4]);
        row.expression = text(q[5]);
        queries->appendText(q[6], row.order);
        rows->push_back(row);
    }
    for (const Table* t : {objects.get(), queries.get()}) {
        if (!t->error().isEmpty()) {
            *error = t->error();
            return false;
        }
    }
    if (!found)
        *error = QStringLiteral("the saved query '%1' is missing from the object catalog")
                     .arg(queryName);
    return found;
}

bool runQuery(const QString& queryName, QueryDefinition& definition, const TableCatalog& catalog,
              const DateLimit& start, const DateLimit& end, QueryRows* out, QString* error) {
    Run run(queryName, definition, out);
    if (run.run(catalog, start, end))
        return true;
    *error = run.error();
    return false;
}

} // namespace Mdb
