#include "client/foundation/profilefile.h"
#include "client/missions/getdata.h"
#include "tests/support/recordingstatus.h"
#include "tests/support/storedatabases.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QtTest>

namespace {

const QByteArray Tsd = "[TSD]\r\nDataTypes=%1\r\nStartDate=1/1/1900\r\nEndDate=1/1/1900\r\n";

// A program folder with the store's databases (ACE 2010, Jet 4 with the same tables and
// queries, ACE 2019, ACE 2007), nwind.mdb, and one mission MissionData/m.ini.
class Missions {
public:
    Missions() {
        QDir(folder.path()).mkdir(QStringLiteral("MissionData"));
        StoreDatabases::writeStore(folder.file("store.accdb"));
        StoreDatabases::writeStore(folder.file("store.mdb"), true);
        StoreDatabases::writeVisits(folder.file("visits.accdb"));
        StoreDatabases::writeOdd(folder.file("odd.accdb"));
        QFile::copy(TestData::dataFile(QStringLiteral("nwind.mdb")), folder.file("nwind.mdb"));
    }

    // Runs a mission on a database of the folder; the status lines after "Working On".
    QStringList run(const char* database, const QByteArray& keys, const QByteArray& types) {
        folder.write("MissionData/m.ini", "[Mission]\r\nType=getdata\r\nMDBName=" +
                                              folder.file(database).toLocal8Bit() + "\r\n" + keys);
        folder.write("MissionData/m.tsd", QByteArray(Tsd).replace("%1", types));
        status.lines.clear();
        ProcessGetData(folder.file("MissionData/m.ini"), status);
        return status.lines.mid(1);
    }
    // The .tsv's lines as bytes (Windows-1252), each ended by CR LF; empty when there is none.
    QList<QByteArray> rows() const {
        QList<QByteArray> out = folder.read("MissionData/m.tsv").split('\n');
        for (QByteArray& line : out)
            line.replace('\r', "\\r");
        out.removeLast();
        return out;
    }
    QString tsd(const char* key) const {
        return ProfileFile::readString(folder.file("MissionData/m.tsd"), "TSD", key, {}, 100);
    }

    TempProgramFolder folder;
    RecordingStatus status;
};

QList<QByteArray> lines(std::initializer_list<const char*> texts) {
    QList<QByteArray> out;
    for (const char* text : texts)
        out << QByteArray(text) + "\\r";
    return out;
}

} // namespace

// Every column type of the store databases read as text, or refused with a line that names the
// table and the column; saved queries run. The databases are written for the test
// (StoreDatabases), nwind.mdb is a real one.
class TestGetDataTypes : public QObject {
    Q_OBJECT
private slots:
    void calculatedAndExtendedValuesAsTheirTypes();
    void dateRangeOnACalculatedDate();
    void valuesWithoutTextEndTheMission_data();
    void valuesWithoutTextEndTheMission();
    void savedQueries_data();
    void savedQueries();
    void savedQueriesOfARealDatabase();
};

void TestGetDataTypes::calculatedAndExtendedValuesAsTheirTypes() {
    Missions m;
    QCOMPARE(m.run("store.accdb",
                   "TableName=Staff\r\nDataFields=ID,FullName,Visits,Pay,Ratio,Big,Active,Review,"
                   "Note\r\n",
                   "n,s,n,n,n,n,b,s,s"),
             QStringList());
    // The character beyond 16 bits is one "?", as on Windows; Windows-1252 otherwise.
    QCOMPARE(m.rows(), lines({"1\tWayne, Bruce\t12\t83333.3333\t19230.7692307692\t"
                              "56505085819.42479129657228018\tTrue\t6/17/2020\ta?a",
                              "2\tKent, Clark\t-3\t-12.5\t0.1\t-0.5\tFalse\t6/14/2021 12:45:00 PM\t"
                              "\xdcn\xef"
                              "c\xf6"
                              "d\xe9",
                              "3\tPrince, Diana\t0\t0\t1E-05\t100\tFalse\t\t"}));

    QCOMPARE(m.run("visits.accdb", "TableName=Visits\r\nDataFields=ID,Arrived\r\n", "n,s"),
             QStringList());
    QCOMPARE(m.rows(), lines({"1\t6/17/2020", "2\t6/17/2020 12:45:00 PM", "3\t1/1/1",
                              "4\t12/31/9999 11:59:59.9999999 PM", "5\t12/30/1899 10:00:00 AM",
                              "6\t3/4/2021 1:02:03.5000000 AM", "7\t", "8\t10/14/1066"}));
    // A limit on the extended column orders by it.
    m.run("visits.accdb",
          "TableName=Visits\r\nUseTargetStartDate=True\r\nStartDateFieldName=Arrived\r\n"
          "StartDate=1/1/2020\r\nDataFields=ID\r\n",
          "n");
    QCOMPARE(m.rows(), lines({"1", "2", "6", "4"}));
    QCOMPARE(m.tsd("StartDate"), QString("6/17/2020"));
    QCOMPARE(m.tsd("EndDate"), QString("12/31/9999 11:59:59 PM"));
}

void TestGetDataTypes::dateRangeOnACalculatedDate() {
    Missions m;
    QCOMPARE(m.run("store.accdb",
                   "TableName=Staff\r\nUseTargetStartDate=True\r\nStartDateFieldName=Review\r\n"
                   "StartDate=1/1/2020\r\nUseTargetEndDate=True\r\nEndDateFieldName=[Review]\r\n"
                   "EndDate=12/31/2021\r\nDataFields=ID,Review\r\n",
                   "n,s"),
             QStringList());
    QCOMPARE(m.rows(), lines({"1\t6/17/2020", "2\t6/14/2021 12:45:00 PM"}));
    QCOMPARE(m.tsd("StartDate"), QString("6/17/2020"));
    QCOMPARE(m.tsd("EndDate"), QString("6/14/2021 12:45:00 PM"));
}

void TestGetDataTypes::valuesWithoutTextEndTheMission_data() {
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<QString>("error");
    const QString noText = "Error in ProcessGetData on Odd error=column '%1' of table 'Odd' "
                           "holds values of type %2, which cannot be turned into text";
    QTest::newRow("variable type")
        << QByteArray("Odd") << QByteArray("ID,Shape") << noText.arg("Shape").arg(70);
    QTest::newRow("fixed type") << QByteArray("Odd") << QByteArray("Mark,ID")
                                << noText.arg("Mark").arg(71);
    QTest::newRow("calculated, unknown result type")
        << QByteArray("Odd") << QByteArray("ID,Guess")
        << "Error in ProcessGetData on Odd error=calculated column 'Guess' of table 'Odd' has "
           "results of type 99, which cannot be turned into text";
    QTest::newRow("calculated, damaged") << QByteArray("Odd") << QByteArray("ID,Broken")
                                         << "Error in ProcessGetData on Odd error=a calculated "
                                            "value of column 'Broken' in table 'Odd' is damaged";
    QTest::newRow("NUL character") << QByteArray("Notes") << QByteArray("ID,Body")
                                   << "Error in ProcessGetData on Notes error=column 'Body' of "
                                      "Notes holds a NUL character, which a .tsv line cannot hold";
}

// Like a damaged row: the error line, no .tsv (an earlier one goes too), the .tsd as delivered.
// The first row's value is null and passes; the second one's has no text.
void TestGetDataTypes::valuesWithoutTextEndTheMission() {
    QFETCH(QByteArray, table);
    QFETCH(QByteArray, fields);
    QFETCH(QString, error);
    Missions m;
    m.folder.write("MissionData/m.tsv", "earlier run\r\n");
    const QByteArray keys = "TableName=" + table +
                            "\r\nUseTargetStartDate=True\r\nStartDateFieldName=Seen\r\n"
                            "StartDate=1/1/2000\r\nDataFields=";
    QCOMPARE(m.run("odd.accdb", keys + fields + "\r\n", "n,n"), QStringList{error});
    QVERIFY(!QFile::exists(m.folder.file("MissionData/m.tsv")));
    QCOMPARE(m.tsd("StartDate"), QString("1/1/1900"));
    QCOMPARE(m.run("odd.accdb", keys + "ID\r\n", "n"), QStringList());
    QCOMPARE(m.rows(), lines({"1", "2"}));
    QCOMPARE(m.tsd("EndDate"), QString("1/2/2021"));
}

void TestGetDataTypes::savedQueries_data() {
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QList<QByteArray>>("rows");
    QTest::addColumn<QString>("range");
    QTest::newRow("join, where, order by descending")
        << QByteArray("TableName=Unpaid\r\nDataFields=OrderID,CompanyName,OrderDate,Amount\r\n")
        << lines({"6\tCactus\t3/1/2021\t600", "1\tAlfreds\t1/5/2021\t550",
                  "4\tCactus\t2/3/2021\t250", "2\tBoston Beans\t1/7/2021\t50",
                  "5\tBoston Beans\t2/9/2021\t10"})
        << "";
    QTest::newRow("date range on top")
        << QByteArray("TableName=Unpaid\r\nUseTargetStartDate=True\r\nStartDateFieldName="
                      "OrderDate\r\nStartDate=2/1/2021\r\nDataFields=OrderID,Amount\r\n")
        << lines({"4\t250", "5\t10", "6\t600"}) << "2/3/2021-3/1/2021";
    QTest::newRow("select *") << QByteArray("TableName=[All Orders]\r\nDataFields=OrderID,Paid\r\n")
                              << lines({"1\tFalse", "2\tFalse", "3\tTrue", "4\tFalse", "5\tFalse",
                                        "6\tFalse", "7\tFalse", "8\tFalse"})
                              << "";
    QTest::newRow("distinctrow of one side of a join")
        << QByteArray("TableName=[Big Buyers]\r\nDataFields=CompanyName\r\n")
        << lines({"Alfreds", "Cactus"}) << "";
    QTest::newRow("alias, between, is not null, not")
        << QByteArray("TableName=Named\r\nUseTargetEndDate=True\r\nEndDateFieldName=OrderDate\r\n"
                      "EndDate=12/31/2021\r\nDataFields=Number,OrderDate\r\n")
        << lines({"2\t1/7/2021", "4\t2/3/2021", "5\t2/9/2021", "6\t3/1/2021"})
        << "1/7/2021-3/1/2021";
    const QString error = "Error Opening rs for %1 error=the saved query '%1' uses %2, which "
                          "cannot be run here";
    QTest::newRow("group by") << QByteArray("TableName=Totals\r\nDataFields=CustomerID\r\n")
                              << QList<QByteArray>{}
                              << error.arg("Totals", "the expression Sum(Orders.Amount)");
    QTest::newRow("outer join") << QByteArray("TableName=Outer\r\nDataFields=OrderID\r\n")
                                << QList<QByteArray>{}
                                << error.arg("Outer", "an outer join of Customers and Orders");
    QTest::newRow("distinct") << QByteArray("TableName=Cities\r\nDataFields=City\r\n")
                              << QList<QByteArray>{} << error.arg("Cities", "DISTINCT");
    QTest::newRow("limit column of the query only")
        << QByteArray("TableName=Named\r\nUseTargetStartDate=True\r\nStartDateFieldName=Amount\r\n"
                      "DataFields=Number\r\n")
        << QList<QByteArray>{}
        << "Error Opening rs for Named error=there is no column 'Amount' in query 'Named'";
}

// Queries of a Jet 4 database; a refused one shows its SQL and leaves the .tsd as it was.
void TestGetDataTypes::savedQueries() {
    QFETCH(QByteArray, keys);
    QFETCH(QList<QByteArray>, rows);
    QFETCH(QString, range);
    Missions m;
    const QStringList lines = m.run("store.mdb", keys, "n,s,s,n");
    QCOMPARE(m.rows(), rows);
    if (rows.isEmpty()) {
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], range);
        QVERIFY(lines[1].startsWith("SQL=Select "));
        return;
    }
    QCOMPARE(lines, QStringList());
    QCOMPARE(m.tsd("StartDate") + "-" + m.tsd("EndDate"),
             range.isEmpty() ? QString("1/1/1900-1/1/1900") : range);
}

// nwind.mdb's 22 queries: those of the supported forms give their rows (counts checked against
// the tables: 69 products are not discontinued, all 830 orders have a customer), the others
// name what they use.
void TestGetDataTypes::savedQueriesOfARealDatabase() {
    Missions m;
    const QList<std::pair<QByteArray, int>> supported = {
        {"[Alphabetical List of Products]\r\nDataFields=ProductName,CategoryName", 69},
        {"Catalog\r\nDataFields=ProductName,CategoryName", 69},
        {"[Current Product List]\r\nDataFields=ProductID,ProductName", 69},
        {"[Orders Qry]\r\nDataFields=OrderID,CompanyName", 830},
        {"[Products by Category]\r\nDataFields=CategoryName,ProductName", 69}};
    for (const auto& [keys, count] : supported) {
        QCOMPARE(m.run("nwind.mdb", "TableName=" + keys + "\r\n", "s,s").join('\n'), QString());
        QCOMPARE(m.rows().size(), count);
    }
    // Ordered by category, then product.
    QCOMPARE(m.rows().first(), QByteArray("Beverages\tChai\\r"));
    QCOMPARE(m.rows().last(), QByteArray("Seafood\tSpegesild\\r"));
    for (const char* name :
         {"Category Sales for 1995", "Customers and Suppliers by City", "Employee Sales by Country",
          "Invoices", "Invoices Filter", "Order Details Extended", "Order Subtotals",
          "Product Sales for 1995", "Products Above Average Price", "Quarterly Orders",
          "Quarterly Orders by Product", "Sales by Category", "Sales by Year",
          "Sales Totals by Amount", "Summary of Sales by Quarter", "Summary of Sales by Year",
          "Ten Most Expensive Products"}) {
        const QStringList lines =
            m.run("nwind.mdb", QByteArray("TableName=[") + name + "]\r\nDataFields=A\r\n", "s");
        QVERIFY2(lines.value(0).endsWith(", which cannot be run here"),
                 qPrintable(lines.join('\n')));
    }
}

QTEST_GUILESS_MAIN(TestGetDataTypes)
#include "test_getdatatypes.moc"
