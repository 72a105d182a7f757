#include "client/foundation/profilefile.h"
#include "client/foundation/statuswriter.h"
#include "client/missions/getdata.h"
#include "tests/support/damageddatabase.h"
#include "tests/support/recordingstatus.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QtTest>

namespace {

const QByteArray Unlimited = "TableName=Orders\r\nDataFields=OrderID,ShipName,Freight\r\n";
const QByteArray Limited =
    "TableName=Orders\r\nUseTargetStartDate=True\r\nStartDateFieldName="
    "OrderDate\r\nStartDate=1/1/1990\r\nDataFields=OrderID,ShipName,Freight\r\n";

enum class Damage { OffsetTable, PageType, NegativeLength, RowsMissing };

} // namespace

// Damaged copies of the fixture made here: every damage is a read error that names the table,
// never rows, and nothing of the table is left behind.
class TestGetDataDamage : public QObject {
    Q_OBJECT
private slots:
    void damageIsAnError_data();
    void damageIsAnError();
};

void TestGetDataDamage::damageIsAnError_data() {
    QTest::addColumn<int>("damage");
    QTest::addColumn<QString>("error");
    QTest::newRow("row offset pointing into the page header")
        << int(Damage::OffsetTable) << "row 0 of page %1 of table 'Orders' is damaged";
    QTest::newRow("page of another type in the chain")
        << int(Damage::PageType) << "page %1 of table 'Orders' is not one of its data pages";
    QTest::newRow("negative field length")
        << int(Damage::NegativeLength) << "row 0 of page %1 of table 'Orders' is damaged";
    QTest::newRow("table ends before its row count")
        << int(Damage::RowsMissing) << "table 'Orders' ends after";
}

void TestGetDataDamage::damageIsAnError() {
    QFETCH(int, damage);
    QFETCH(QString, error);
    TempProgramFolder folder;
    QDir(folder.path()).mkdir(QStringLiteral("MissionData"));
    DamagedDatabase db(TestData::dataFile(QStringLiteral("nwind.mdb")));
    const QList<int> pages = db.dataPagesOf(QStringLiteral("Orders"));
    QVERIFY(pages.size() > 3);
    const int page = pages.at(2);
    const int start = db.rowStart(page, 0);
    const int size = db.rowSize(page, 0);
    switch (Damage(damage)) {
    case Damage::OffsetTable:
        db.overwrite(page, db.rowCountOffset() + 2, QByteArray("\x04\x00", 2));
        break;
    case Damage::PageType:
        db.overwrite(page, 0, QByteArray(1, '\x02'));
        break;
    case Damage::NegativeLength: {
        // Jet 3: one byte per variable-length column offset below the null mask (14 columns:
        // two bytes); the second offset set to 0 makes the first value's length negative.
        const int columnOffsets = start + size - 1 - 2 - 1;
        db.overwrite(page, columnOffsets - 1, QByteArray(1, '\0'));
        break;
    }
    case Damage::RowsMissing:
        db.overwrite(page, db.rowCountOffset(), QByteArray("\x00\x00", 2));
        break;
    }
    db.writeTo(folder.file(QStringLiteral("damaged.mdb")));

    for (const QByteArray& keys : {Unlimited, Limited}) {
        const QString mission = folder.file(QStringLiteral("MissionData/m.ini"));
        folder.write(QStringLiteral("MissionData/m.ini"),
                     "[Mission]\r\nType=getdata\r\nMDBName=" +
                         folder.file(QStringLiteral("damaged.mdb")).toLocal8Bit() + "\r\n" + keys);
        const QByteArray tsd = "[TSD]\r\nDataTypes=n,s,n\r\nStartDate=1/1/1900\r\n";
        folder.write(QStringLiteral("MissionData/m.tsd"), tsd);
        RecordingStatus status;
        ProcessGetData(mission, status);
        const QStringList errors = status.lines.filter(QStringLiteral("Error"));
        QVERIFY2(errors.size() == 1, qPrintable(status.lines.join('\n')));
        QVERIFY2(errors.at(0).startsWith(QStringLiteral("Error")) &&
                     errors.at(0).contains(error.contains("%1") ? error.arg(page) : error),
                 qPrintable(errors.at(0)));
        QVERIFY(errors.at(0).contains(QStringLiteral(" Orders error=")));
        QVERIFY(!QFile::exists(folder.file(QStringLiteral("MissionData/m.tsv"))));
        QCOMPARE(folder.read(QStringLiteral("MissionData/m.tsd")), tsd);
    }
}

QTEST_GUILESS_MAIN(TestGetDataDamage)
#include "test_getdata_damage.moc"
