#include "client/missions/mdbquerydef.h"

#include <QtTest>

using Mdb::QueryCatalogRow;

namespace {
QueryCatalogRow row(int attribute, int flag = 0, const QString& expression = QString(),
                    const QString& name1 = QString(), const QString& name2 = QString()) {
    QueryCatalogRow r;
    r.attribute = attribute;
    r.flag = flag;
    r.expression = expression;
    r.name1 = name1;
    r.name2 = name2;
    return r;
}
} // namespace

// Saved query definitions as the query catalog holds them: the forms a report query takes are
// read, anything else is named.
class TestMdbQueryDef : public QObject {
    Q_OBJECT
private slots:
    void conditions_data();
    void conditions();
    void definitions_data();
    void definitions();
    void catalogOrderDecidesTheColumns();
};

void TestMdbQueryDef::conditions_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    // As the engine writes them, parentheses and all.
    QTest::newRow("yes/no") << "(((Products.Discontinued)=No))" << true;
    QTest::newRow("and, or") << "(((Orders.Paid)=No) AND ((Orders.Amount)>=100 Or (C.City)=\"B\"))"
                             << true;
    QTest::newRow("between dates") << "(((O.ShippedDate) Between #1/1/95# And #12/31/95#))" << true;
    QTest::newRow("is not null, not")
        << "([Order Details].Qty Is Not Null) And Not (a<>'b''c')" << true;
    QTest::newRow("negative number") << "x > -1.5E+3" << true;
    QTest::newRow("function") << "Sum(x)>1" << false;
    QTest::newRow("form reference") << "(((Invoices.OrderID)=[Forms]![Orders]![OrderID]))" << false;
    QTest::newRow("like") << "x Like 'a*'" << false;
    QTest::newRow("in") << "x In (1,2)" << false;
    QTest::newRow("subquery") << "x>(SELECT AVG([UnitPrice]) From Products)" << false;
    QTest::newRow("calculation") << "a + 1 > 2" << false;
    QTest::newRow("unclosed") << "(a = 1" << false;
    QTest::newRow("bad date") << "a = #31/31/95#" << false;
}

void TestMdbQueryDef::conditions() {
    QFETCH(QString, text);
    QFETCH(bool, read);
    QCOMPARE(Mdb::Sql::parseCondition(text) != nullptr, read);
}

void TestMdbQueryDef::definitions_data() {
    QTest::addColumn<QList<int>>("rows"); // attribute, flag pairs
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("unsupported");
    QTest::newRow("select, distinctrow, owner access")
        << QList<int>{1, 1, 3, 12, 5, 0, 6, 0} << "T.*" << QString();
    QTest::newRow("union") << QList<int>{1, 9} << ""
                           << "a union query";
    QTest::newRow("crosstab") << QList<int>{1, 6} << ""
                              << "a crosstab query";
    QTest::newRow("make-table") << QList<int>{1, 2} << ""
                                << "a make-table query";
    QTest::newRow("distinct") << QList<int>{1, 1, 3, 2} << ""
                              << "DISTINCT";
    QTest::newRow("top") << QList<int>{1, 1, 3, 24} << ""
                         << "TOP 10";
    QTest::newRow("parameter") << QList<int>{1, 1, 2, 8} << ""
                               << "the parameter [10]";
    QTest::newRow("group by") << QList<int>{1, 1, 5, 0, 9, 0} << "T.a"
                              << "GROUP BY";
    QTest::newRow("expression") << QList<int>{1, 1, 5, 0, 6, 0} << "[a] & [b]"
                                << "the expression [a] & [b]";
    QTest::newRow("outer join") << QList<int>{1, 1, 5, 0, 6, 0, 7, 2} << "T.a"
                                << "an outer join of 10 and ";
    QTest::newRow("join without a comparison") << QList<int>{1, 1, 5, 0, 6, 0, 7, 1} << "T.a"
                                               << "the join condition T.a";
    QTest::newRow("no table") << QList<int>{1, 1, 6, 0} << "T.a"
                              << "no table";
}

// Each row gets the expression; name1 "10" stands for a TOP count, a parameter, a table.
void TestMdbQueryDef::definitions() {
    QFETCH(QList<int>, rows);
    QFETCH(QString, expression);
    QFETCH(QString, unsupported);
    std::vector<QueryCatalogRow> catalog;
    for (int i = 0; i + 1 < rows.size(); i += 2)
        catalog.push_back(
            row(rows[i], rows[i + 1], rows[i] == 5 ? QString() : expression, QStringLiteral("10")));
    Mdb::QueryDefinition definition;
    QString what;
    QCOMPARE(Mdb::readQueryDefinition(catalog, &definition, &what), unsupported.isEmpty());
    QCOMPARE(what, unsupported);
    if (unsupported.isEmpty()) {
        QVERIFY(definition.distinctRow);
        QCOMPARE(definition.sources.size(), size_t(1));
        QCOMPARE(definition.outputs.at(0).ref.source, QString("T"));
        QCOMPARE(definition.outputs.at(0).ref.column, QString("*"));
    }
}

// Rows of an attribute come in the order of their Order values, whatever their stored order;
// SELECT * comes before the columns written out; a table's alias names it in the query.
void TestMdbQueryDef::catalogOrderDecidesTheColumns() {
    std::vector<QueryCatalogRow> rows = {row(6, 0, "[O].[b]"),
                                         row(11, 0, "O.a", "D"),
                                         row(6, 0, "O.a", "First"),
                                         row(5, 0, "", "Orders", "O"),
                                         row(3, 1),
                                         row(1, 1)};
    rows[0].order = QByteArray("\x02", 1);
    rows[2].order = QByteArray("\x01", 1);
    Mdb::QueryDefinition definition;
    QString what;
    QVERIFY(Mdb::readQueryDefinition(rows, &definition, &what));
    QCOMPARE(definition.sources.at(0).table, QString("Orders"));
    QCOMPARE(definition.sources.at(0).name, QString("O"));
    QCOMPARE(definition.outputs.size(), size_t(3));
    QCOMPARE(definition.outputs[0].ref.column, QString("*"));
    QCOMPARE(definition.outputs[1].alias, QString("First"));
    QCOMPARE(definition.outputs[2].ref.column, QString("b"));
    QVERIFY(definition.order.at(0).descending);
    QVERIFY(!definition.distinctRow);
}

QTEST_GUILESS_MAIN(TestMdbQueryDef)
#include "test_mdbquerydef.moc"
