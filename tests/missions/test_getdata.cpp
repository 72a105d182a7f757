#include "client/foundation/clock.h"
#include "client/foundation/profilefile.h"
#include "client/foundation/statuswriter.h"
#include "client/missions/getdata.h"
#include "tests/support/recordingstatus.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testdata.h"

#include <QCryptographicHash>
#include <QDir>
#include <QtTest>

namespace {

// A program folder with a copy of nwind.mdb and one mission, MissionData/m.ini with m.tsd.
class MissionFixture {
public:
    MissionFixture() {
        QDir(folder.path()).mkdir(QStringLiteral("MissionData"));
        QFile::copy(TestData::dataFile(QStringLiteral("nwind.mdb")), mdbPath());
    }

    QString mdbPath() const {
        return folder.file(QStringLiteral("nwind.mdb"));
    }
    QString missionPath() const {
        return folder.file(QStringLiteral("MissionData/m.ini"));
    }
    QString tsvName() const {
        return QStringLiteral("MissionData/m.tsv");
    }

    // Mission keys (MDBName is added) and the .tsd's DataTypes.
    void write(const QByteArray& keys, const QByteArray& dataTypes) {
        folder.write(QStringLiteral("MissionData/m.ini"),
                     "[Mission]\r\nType=getdata\r\nMDBName=" + mdbPath().toLocal8Bit() + "\r\n" +
                         keys);
        folder.write(QStringLiteral("MissionData/m.tsd"), "[TSD]\r\nDataTypes=" + dataTypes +
                                                              "\r\nStartDate=1/1/1900\r\n"
                                                              "EndDate=1/1/1900\r\n");
    }

    void run() {
        ProcessGetData(missionPath(), status, clock);
    }

    QStringList rows() const {
        return folder.lines(tsvName());
    }
    QString tsd(const char* key) const {
        return ProfileFile::readString(folder.file(QStringLiteral("MissionData/m.tsd")),
                                       QStringLiteral("TSD"), QLatin1String(key), QString(), 1024);
    }
    QStringList errors() const {
        return status.lines.filter(QStringLiteral("Error"));
    }

    TempProgramFolder folder;
    RecordingStatus status;
    ManualClock clock{QDateTime(QDate(1995, 6, 15), QTime(9, 0))};
};

const QByteArray Limits1995 = "UseTargetStartDate=True\r\nStartDateFieldName=OrderDate\r\n"
                              "StartDate=1/1/1995\r\nUseTargetEndDate=True\r\n"
                              "EndDateFieldName=OrderDate\r\nEndDate=12/31/1995\r\n";

} // namespace

class TestGetData : public QObject {
    Q_OBJECT
private slots:
    void shapes_data();
    void shapes();
    void sqlTextOfEachShape_data();
    void sqlTextOfEachShape();
    void orderedRowsKeepStoredOrderForEqualDates();
    void emptyResultRemovesOldDataAndKeepsTsd();
    void nullTextsByTypeLetter();
    void valuesAndLineFormat();
    void blanksAfterCommasLoseThoseColumns();
    void shortTypeListWritesTextWithErrorLines();
    void failuresEndTheMission();
    void badKeyTextSkipsTheMission_data();
    void badKeyTextSkipsTheMission();
    void defaultDateIsToday();
};

// Row counts checked independently against mdb-export of the same table.
void TestGetData::shapes_data() {
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("startDate");
    QTest::addColumn<QString>("endDate");
    QTest::addColumn<int>("dateColumn");
    QTest::newRow("both limits") << Limits1995 << 391 << "1/2/1995"
                                 << "12/29/1995" << 1;
    QTest::newRow("start only") << QByteArray("UseTargetStartDate=True\r\nStartDateFieldName="
                                              "OrderDate\r\nStartDate=1/1/1996\r\n")
                                << 318 << "1/1/1996"
                                << "6/5/1996" << 1;
    // Nulls never match a limit: 21 orders have no ShippedDate.
    QTest::newRow("end only") << QByteArray("UseTargetEndDate=1\r\nEndDateFieldName=ShippedDate"
                                            "\r\nEndDate=12/31/1994\r\n")
                              << 111 << "8/10/1994"
                              << "12/29/1994" << 2;
    // Ordered by the start column; the range ends with the end column of the last row.
    QTest::newRow("two columns") << QByteArray("UseTargetStartDate=true\r\nStartDateFieldName="
                                               "OrderDate\r\nStartDate=1/1/1996\r\n"
                                               "UseTargetEndDate=TRUE\r\nEndDateFieldName="
                                               "ShippedDate\r\nEndDate=3/31/1996\r\n")
                                 << 140 << "1/1/1996"
                                 << "3/29/1996" << 1;
    QTest::newRow("no limit") << QByteArray() << 830 << "1/1/1900"
                              << "1/1/1900" << -1;
}

void TestGetData::shapes() {
    QFETCH(QByteArray, keys);
    QFETCH(int, rows);
    QFETCH(QString, startDate);
    QFETCH(QString, endDate);
    QFETCH(int, dateColumn);
    MissionFixture m;
    m.write("TableName=Orders\r\n" + keys + "DataFields=OrderID,OrderDate,ShippedDate\r\n",
            "n,s,s");
    m.run();
    QCOMPARE(m.status.lines, QStringList{"Working On " + m.missionPath() + ", GetData"});
    const QStringList lines = m.rows();
    QCOMPARE(lines.size(), rows);
    QCOMPARE(m.tsd("StartDate"), startDate);
    QCOMPARE(m.tsd("EndDate"), endDate);
    if (dateColumn < 0)
        return;
    QDate previous;
    for (const QString& line : lines) {
        const QDate date =
            QDate::fromString(line.split('\t').at(dateColumn), QStringLiteral("M/d/yyyy"));
        QVERIFY(date.isValid());
        if (dateColumn == 1) {
            QVERIFY2(!previous.isValid() || previous <= date, qPrintable(line));
            previous = date;
        }
    }
}

void TestGetData::sqlTextOfEachShape_data() {
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QString>("sql");
    const QString select = "SQL=Select OrderID,Nothing From Orders";
    QTest::newRow("both") << Limits1995
                          << select + " Where OrderDate>=#1/1/1995# And OrderDate<=#12/31/1995#"
                                      " Order By OrderDate;";
    QTest::newRow("start") << QByteArray("UseTargetStartDate=True\r\nStartDateFieldName=A\r\n"
                                         "StartDate=1995-03-04 13:05\r\n")
                           << select + " Where A>=#3/4/1995 1:05:00 PM# Order By A;";
    QTest::newRow("end") << QByteArray("UseTargetEndDate=-1\r\nEndDateFieldName=[Ship Date]\r\n"
                                       "EndDate=2/3/96\r\n")
                         << select + " Where [Ship Date]<=#2/3/1996# Order By [Ship Date];";
    QTest::newRow("none") << QByteArray("UseTargetStartDate=0\r\n") << select + ";";
}

// A column the table does not have makes the query fail, which shows the SQL text.
void TestGetData::sqlTextOfEachShape() {
    QFETCH(QByteArray, keys);
    QFETCH(QString, sql);
    MissionFixture m;
    m.folder.write(m.tsvName(), "earlier run\r\n");
    m.write("TableName=Orders\r\n" + keys + "DataFields=OrderID,Nothing\r\n", "n,s");
    m.run();
    QCOMPARE(m.status.lines.size(), 3);
    QVERIFY2(m.status.lines[1].startsWith("Error Opening rs for Orders error="),
             qPrintable(m.status.lines[1]));
    QCOMPARE(m.status.lines[2], sql);
    QCOMPARE(m.rows(), QStringList{"earlier run"});
    QCOMPARE(m.tsd("StartDate"), QString("1/1/1900"));
}

void TestGetData::orderedRowsKeepStoredOrderForEqualDates() {
    MissionFixture m;
    m.write("TableName=Orders\r\nDataFields=OrderID,RequiredDate\r\n", "n,s");
    m.run();
    QStringList stored = m.rows();
    m.write("TableName=Orders\r\nUseTargetStartDate=True\r\nStartDateFieldName=RequiredDate\r\n"
            "StartDate=1/1/1900\r\nDataFields=OrderID,RequiredDate\r\n",
            "n,s");
    m.run();
    const auto date = [](const QString& line) {
        return QDate::fromString(line.section('\t', 1), QStringLiteral("M/d/yyyy"));
    };
    std::stable_sort(stored.begin(), stored.end(),
                     [&](const QString& a, const QString& b) { return date(a) < date(b); });
    QCOMPARE(m.rows(), stored);
}

void TestGetData::emptyResultRemovesOldDataAndKeepsTsd() {
    MissionFixture m;
    m.folder.write(m.tsvName(), "earlier run\r\n");
    m.write("TableName=Orders\r\nUseTargetStartDate=True\r\nStartDateFieldName=OrderDate\r\n"
            "StartDate=1/1/2020\r\nDataFields=OrderID\r\n",
            "n");
    m.run();
    QCOMPARE(m.status.lines.size(), 1);
    QVERIFY(!QFile::exists(m.folder.file(m.tsvName())));
    QCOMPARE(m.tsd("StartDate"), QString("1/1/1900"));
    QCOMPARE(m.tsd("EndDate"), QString("1/1/1900"));
}

// Order 11008 has no ShippedDate and no ShipRegion; employee 2 reports to no one.
void TestGetData::nullTextsByTypeLetter() {
    MissionFixture m;
    m.write("TableName=Orders\r\nUseTargetStartDate=True\r\nStartDateFieldName=OrderDate\r\n"
            "StartDate=5/8/1996\r\nUseTargetEndDate=True\r\nEndDateFieldName=OrderDate\r\n"
            "EndDate=5/8/1996\r\nDataFields=OrderID,ShipRegion,ShipRegion,ShipRegion,ShipRegion,"
            "ShippedDate,ShippedDate,ShippedDate\r\n",
            "n,s,N,B,x,S,n,b");
    m.run();
    QVERIFY(m.rows().contains("11008\t\t0\tFalse\t\t\t0\tFalse"));
    QVERIFY(m.errors().isEmpty());

    m.write("TableName=Employees\r\nDataFields=EmployeeID,ReportsTo,ReportsTo\r\n", "n,n,s");
    m.run();
    QCOMPARE(m.rows().at(1), QString("2\t0\t"));
    QCOMPARE(m.rows().at(0), QString("1\t2\t2"));
}

void TestGetData::valuesAndLineFormat() {
    MissionFixture m;
    m.write("TableName=Orders\r\nDataFields=OrderID,Freight,ShipName,ShipAddress,OrderDate\r\n",
            "n,n,s,s,s");
    m.run();
    const QByteArray tsv = m.folder.read(m.tsvName());
    QVERIFY(tsv.endsWith("\r\n"));
    // 830 rows, each on its own line: the CR LF inside 47 addresses became blanks.
    QCOMPARE(tsv.count("\r\n"), 830);
    QCOMPARE(tsv.count('\r'), 830);
    QCOMPARE(tsv.count('\n'), 830);
    const QStringList lines = m.rows();
    QVERIFY(lines.contains("10310\t17.52\tThe Big Cheese\t89 Jefferson Way Suite 2\t10/21/1994"));
    QVERIFY(
        lines.contains("10248\t32.38\tVins et alcools Chevalier\t59 rue de l'Abbaye\t8/4/1994"));
    // Single-byte text on every platform, as on Windows.
    QVERIFY(tsv.contains("M\xe8re Paillarde\t"));
    QVERIFY(tsv.contains("\tAlameda dos Can\xe0rios, 891\t"));
    QVERIFY(!tsv.contains("\xc3"));

    // Single values in their shortest form; the table name needs its brackets.
    m.write("TableName=[Order Details]\r\nDataFields=OrderID,UnitPrice,Discount\r\n", "n,n,n");
    m.run();
    QCOMPARE(m.rows().size(), 2155);
    QVERIFY(m.rows().contains("10250\t42.4\t0.15"));
    QVERIFY(m.rows().contains("10248\t14\t0"));

    // Yes/no columns, years before 1950, a table name that is not ASCII.
    m.write("TableName=Products\r\nDataFields=ProductID,Discontinued\r\n", "n,s");
    m.run();
    QCOMPARE(m.rows().filter("\tTrue").size(), 8);
    QCOMPARE(m.rows().filter("\tFalse").size(), 69);
    // Memos come whole, however long.
    m.write("TableName=Employees\r\nDataFields=BirthDate,Notes\r\n", "s,s");
    m.run();
    QCOMPARE(m.rows().at(3).section('\t', 0, 0), QString("9/19/1937"));
    QCOMPARE(m.rows().at(1).section('\t', 1).size(), 448);
    QVERIFY(m.rows().at(1).endsWith("the Pacific Rim Importers Association."));
    m.write("TableName=Ums\xe4tze\r\nDataFields=OrderID\r\n", "n");
    m.run();
    QCOMPARE(m.rows().size(), 830);
    QVERIFY(m.errors().isEmpty());
}

void TestGetData::blanksAfterCommasLoseThoseColumns() {
    MissionFixture m;
    m.write("TableName=Orders\r\nDataFields=OrderID, CustomerID, EmployeeID,ShipVia\r\n",
            "n,s,n,n");
    m.run();
    const QStringList lines = m.rows();
    QCOMPARE(lines.size(), 830);
    QVERIFY(lines.contains("10248\t3"));
    QCOMPARE(m.errors().size(), 2 * 830);
    QCOMPARE(m.errors().at(0),
             QString("Error in ProcessGetData on Orders error=column ' CustomerID' of DataFields "
                     "is not in the result"));
    QVERIFY(m.errors().at(1).contains("' EmployeeID'"));
}

void TestGetData::shortTypeListWritesTextWithErrorLines() {
    MissionFixture m;
    m.write("TableName=Employees\r\nDataFields=EmployeeID,ReportsTo,LastName\r\n", "n");
    m.run();
    QCOMPARE(m.rows().at(1), QString("2\t\tFuller"));
    QCOMPARE(m.errors().size(), 2 * 9);
    QCOMPARE(m.errors().at(0), QString("Error in ProcessGetData on Employees error=DataTypes has "
                                       "no type letter for column 2 (ReportsTo)"));
}

void TestGetData::failuresEndTheMission() {
    MissionFixture m;
    const QByteArray before = m.folder.read("nwind.mdb");
    m.write("TableName=NoSuchTable\r\nDataFields=A\r\n", "s");
    m.run();
    QCOMPARE(m.status.lines.mid(1),
             QStringList({"Error Opening rs for NoSuchTable error=there is no table or query "
                          "named 'NoSuchTable'",
                          "SQL=Select A From NoSuchTable;"}));

    m.status.lines.clear();
    m.write("TableName=Order Details\r\nDataFields=OrderID\r\n", "n");
    m.run();
    QVERIFY(m.status.lines.value(1).startsWith("Error Opening rs for Order Details error=syntax"));
    m.status.lines.clear();
    m.write("TableName=[Sales by Year]\r\nDataFields=OrderID\r\n", "n");
    m.run();
    QVERIFY(m.status.lines.value(1).contains("saved query"));

    // The database is only read: a read-only copy works and stays as it was.
    QFile(m.mdbPath()).setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    m.write("TableName=Shippers\r\nDataFields=ShipperID\r\n", "n");
    m.run();
    QCOMPARE(m.rows().size(), 3);
    QCOMPARE(m.folder.read("nwind.mdb"), before);
    QCOMPARE(QDir(m.folder.path()).entryList(QDir::Files), QStringList{"nwind.mdb"});

    m.status.lines.clear();
    m.folder.write("notadb.mdb", QByteArray(8192, 'x'));
    m.folder.write("MissionData/m.ini",
                   "[Mission]\r\nMDBName=" + m.folder.file("notadb.mdb").toLocal8Bit() +
                       "\r\nTableName=Orders\r\nDataFields=OrderID\r\n");
    m.run();
    QCOMPARE(m.status.lines.size(), 4);
    QVERIFY(m.status.lines[1].startsWith("Error in ProcessGetData on Orders error="));
    QVERIFY(m.status.lines[2].startsWith("Error Opening rs for Orders error="));

    m.status.lines.clear();
    m.folder.write("MissionData/m.ini",
                   "[Mission]\r\nMDBName=" + m.folder.file("none.mdb").toLocal8Bit() +
                       "\r\nTableName=Orders\r\nDataFields=OrderID\r\n");
    m.run();
    QCOMPARE(m.status.lines.mid(1), QStringList{"Error Getting Orders can't find .mdb file"});
    QVERIFY(QFile::exists(m.folder.file(m.tsvName())));
}

void TestGetData::badKeyTextSkipsTheMission_data() {
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QString>("error");
    QTest::newRow("yes/no") << QByteArray("UseTargetStartDate=yes\r\n")
                            << "UseTargetStartDate=yes is not True or False; mission skipped";
    QTest::newRow("date") << QByteArray("UseTargetEndDate=True\r\nEndDate=31/12/1995\r\n")
                          << "EndDate=31/12/1995 is not a date; mission skipped";
}

void TestGetData::badKeyTextSkipsTheMission() {
    QFETCH(QByteArray, keys);
    QFETCH(QString, error);
    MissionFixture m;
    m.write("TableName=Orders\r\n" + keys + "DataFields=OrderID\r\n", "n");
    m.run();
    QCOMPARE(m.status.lines.mid(1),
             QStringList{"Error in ProcessGetData on Orders error=" + error});
    QVERIFY(!QFile::exists(m.folder.file(m.tsvName())));
}

void TestGetData::defaultDateIsToday() {
    MissionFixture m;
    m.clock.set(QDateTime(QDate(1996, 5, 1), QTime(15, 30)));
    m.write("TableName=Orders\r\nUseTargetStartDate=True\r\nStartDateFieldName=OrderDate\r\n"
            "DataFields=OrderID\r\n",
            "n");
    m.run();
    QCOMPARE(m.tsd("StartDate"), QString("5/1/1996"));
    QCOMPARE(m.tsd("EndDate"), QString("6/5/1996"));
}

QTEST_GUILESS_MAIN(TestGetData)
#include "test_getdata.moc"
