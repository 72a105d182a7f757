#include "client/foundation/sanitizers.h"
#include "client/foundation/statuswriter.h"
#include "client/missions/getdataworker.h"
#include "tests/support/damageddatabase.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/hostsystem.h"
#include "tests/support/recordingstatus.h"
#include "tests/support/storedatabases.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QThread>
#include <QtTest>

#include <cerrno>
#include <cstring>

namespace {

const QByteArray Tsd = "[TSD]\r\nDataTypes=n,s,n\r\nStartDate=1/1/1900\r\nEndDate=1/1/1900\r\n";

// A program folder with MissionData/m.ini reading a table of one database.
struct Mission {
    TempProgramFolder folder;
    RecordingStatus status;

    Mission() {
        QDir(folder.path()).mkdir(QStringLiteral("MissionData"));
    }
    QString path() const {
        return folder.file(QStringLiteral("MissionData/m.ini"));
    }
    void write(const QString& database, const QByteArray& table,
               const QByteArray& keys = "UseTargetStartDate=True\r\nStartDateFieldName="
                                        "OrderDate\r\nStartDate=1/1/1990\r\nDataFields=OrderID,"
                                        "ShipName,Freight\r\n") {
        folder.write(QStringLiteral("MissionData/m.ini"),
                     "[Mission]\r\nType=getdata\r\nMDBName=" + database.toLocal8Bit() +
                         "\r\nTableName=" + table + "\r\n" + keys);
        folder.write(QStringLiteral("MissionData/m.tsd"), Tsd);
        status.lines.clear();
    }
    void run(GetDataWorker& worker) {
        worker.run(path(), status, [] { QThread::msleep(10); });
    }
    bool tsvExists() const {
        return QFile::exists(folder.file(QStringLiteral("MissionData/m.tsv")));
    }
    QByteArray tsd() const {
        return folder.read(QStringLiteral("MissionData/m.tsd"));
    }
};

GetDataWorker::Limits quickLimits(int noProgressMs) {
    GetDataWorker::Limits limits;
    limits.noProgressMs = noProgressMs;
    return limits;
}

enum class Damage { Truncated, CatalogPage, DataPage, RowOffsets };

} // namespace

class TestGetDataWorker : public QObject {
    Q_OBJECT
private slots:
    void damagedCopiesEndTheMissionOnly_data();
    void damagedCopiesEndTheMissionOnly();
    void memoryLimitEndsTheMission();
    void refusedAllocationIsNamedAsTheLimit_data();
    void refusedAllocationIsNamedAsTheLimit();
    void failingWorkerIsNamedAndLeavesNothing_data();
    void failingWorkerIsNamedAndLeavesNothing();
    void cancelStopsTheWorker();
    void missingWorker();
    void storeDatabasesThroughTheWorker();
    void dataFileThatCannotBeRemovedIsNotSent();
    void fullDiskWithTheDataFileHeldLeavesNothingToSend();
};

void TestGetDataWorker::damagedCopiesEndTheMissionOnly_data() {
    QTest::addColumn<int>("damage");
    QTest::newRow("cut at a page boundary") << int(Damage::Truncated);
    QTest::newRow("bytes overwritten in a catalog page") << int(Damage::CatalogPage);
    QTest::newRow("bytes overwritten in a data page") << int(Damage::DataPage);
    QTest::newRow("row offset table overwritten") << int(Damage::RowOffsets);
}

// The real worker on copies damaged the ways stores see: each mission ends with an error line
// naming its table, whether the reader noticed the damage or had to be stopped, and leaves no
// data file and the .tsd as delivered; the same worker then reads a healthy copy whole.
void TestGetDataWorker::damagedCopiesEndTheMissionOnly() {
    QFETCH(int, damage);
    Mission m;
    const QString healthy = TestData::dataFile(QStringLiteral("nwind.mdb"));
    DamagedDatabase db(healthy);
    const QList<int> orders = db.dataPagesOf(QStringLiteral("Orders"));
    const QList<int> catalog = db.dataPagesOf(QStringLiteral("MSysObjects"));
    QVERIFY(orders.size() > 3 && !catalog.isEmpty());
    switch (Damage(damage)) {
    case Damage::Truncated:
        // Here the reading library's catalog reader loops for ever.
        db.truncateToPages(736);
        break;
    case Damage::CatalogPage: {
        // The catalog rows that name the table.
        int hits = 0;
        for (int page : catalog) {
            const int at = db.offsetIn(page, QByteArray("\0\0\0\0Orders\x03", 11));
            if (at > 17) {
                db.overwrite(page, at - 17, QByteArray(24, '\xee'));
                ++hits;
            }
        }
        QVERIFY(hits > 0);
        break;
    }
    case Damage::DataPage:
        db.overwrite(orders.at(1), db.pageSize() - 600, QByteArray(64, '\xff'));
        break;
    case Damage::RowOffsets:
        db.overwrite(orders.at(1), db.rowCountOffset() + 2, QByteArray(8, '\x7f'));
        break;
    }
    db.writeTo(m.folder.file(QStringLiteral("damaged.mdb")));

    GetDataWorker worker(TestData::program(QStringLiteral("svGetData")), quickLimits(2000));
    m.write(m.folder.file(QStringLiteral("damaged.mdb")), "Orders");
    m.run(worker);
    const QStringList errors = m.status.lines.filter(QStringLiteral("Error"));
    QVERIFY2(!errors.isEmpty() && errors.last().contains(QStringLiteral(" Orders error=")),
             qPrintable(m.status.lines.join('\n')));
    QVERIFY(!m.tsvExists());
    QCOMPARE(m.tsd(), Tsd);

    m.write(healthy, "Orders");
    m.run(worker);
    QCOMPARE(m.status.lines, QStringList{"Working On " + m.path() + ", GetData"});
    QCOMPARE(m.folder.lines(QStringLiteral("MissionData/m.tsv")).size(), 830);
    QVERIFY(m.tsd().contains("StartDate=8/4/1994"));
}

// On the copy cut short the reading library's catalog reader eats memory for ever: with the
// limit lowered to about twice what the worker needs to start, the worker reaches it in a few
// seconds and the mission says so.
void TestGetDataWorker::memoryLimitEndsTheMission() {
#if SKYVANE_ADDRESS_SANITIZER
    QSKIP("built with AddressSanitizer, whose shadow memory leaves no address-space limit to set");
#endif
    if (HostSystem::underWine())
        QSKIP("wine keeps a job object's process memory limit without enforcing it");
    Mission m;
    DamagedDatabase db(TestData::dataFile(QStringLiteral("nwind.mdb")));
    db.truncateToPages(736);
    db.writeTo(m.folder.file(QStringLiteral("damaged.mdb")));
    GetDataWorker::Limits limits = quickLimits(60000);
    limits.memoryBytes = 96 * 1024 * 1024;
    GetDataWorker worker(TestData::program(QStringLiteral("svGetData")), limits);
    m.write(m.folder.file(QStringLiteral("damaged.mdb")), "Orders");
    m.run(worker);
    QCOMPARE(m.status.lines.last(), QString("Error in ProcessGetData on Orders error=the database "
                                            "reader went over its memory limit of 96 MB"));
    QVERIFY(!m.tsvExists());
    QCOMPARE(m.tsd(), Tsd);
}

void TestGetDataWorker::refusedAllocationIsNamedAsTheLimit_data() {
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<qint64>("peakMb");
    QTest::addColumn<QString>("cause");
    const QString limit = "the database reader went over its memory limit of 96 MB";
    QTest::newRow("crash, refusal reported") << QByteArray("Crash") << true << qint64(0) << limit;
    QTest::newRow("crash, peak within an eighth of the limit")
        << QByteArray("Crash") << false << qint64(85) << limit;
    QTest::newRow("crash, peak below seven eighths of the limit")
        << QByteArray("Crash") << false << qint64(83) << QString("the database reader crashed");
    QTest::newRow("whole read, refusal reported")
        << QByteArray("Orders") << true << qint64(0) << limit;
    QTest::newRow("whole read, peak close to the limit")
        << QByteArray("Orders") << false << qint64(95) << QString();
}

// Windows only refuses the allocation at the limit (the job object's report and peak stand in
// for the system here): the worker can crash on it, or go on, before it says why.
void TestGetDataWorker::refusedAllocationIsNamedAsTheLimit() {
    QFETCH(QByteArray, table);
    QFETCH(bool, refused);
    QFETCH(qint64, peakMb);
    QFETCH(QString, cause);
    Mission m;
    GetDataWorker::Limits limits = quickLimits(60000);
    limits.memoryBytes = 96 * 1024 * 1024;
    const bool real = table == "Orders";
    GetDataWorker worker(TestData::program(real ? "svGetData" : "fake_svGetData"), limits);
    worker.setMemoryUseQuery([&] { return ChildMemoryLimit::Use{refused, peakMb * 1024 * 1024}; });
    m.write(real ? TestData::dataFile("nwind.mdb") : "unused.mdb", table);
    m.run(worker);
    QCOMPARE(m.status.lines.last(),
             cause.isEmpty() ? "Working On " + m.path() + ", GetData"
                             : "Error in ProcessGetData on " + table + " error=" + cause);
    QCOMPARE(m.tsvExists(), cause.isEmpty());
}

void TestGetDataWorker::failingWorkerIsNamedAndLeavesNothing_data() {
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("cause");
    QTest::newRow("no progress") << QByteArray("Hang")
                                 << "the database reader made no progress for 1 s and was stopped";
    QTest::newRow("crash") << QByteArray("Crash") << "the database reader crashed";
    QTest::newRow("garbled output")
        << QByteArray("Garble") << "the database reader sent output that cannot be read";
}

void TestGetDataWorker::failingWorkerIsNamedAndLeavesNothing() {
    QFETCH(QByteArray, table);
    QFETCH(QString, cause);
    Mission m;
    GetDataWorker worker(TestData::program(QStringLiteral("fake_svGetData")), quickLimits(1000));
    m.write(QStringLiteral("unused.mdb"), table);
    m.run(worker);
    QCOMPARE(m.status.lines,
             QStringList({"Working On " + m.path() + ", GetData", "fake worker reading",
                          "Error in ProcessGetData on " + table + " error=" + cause}));
    QVERIFY(!m.tsvExists());
    QCOMPARE(m.tsd(), Tsd);
}

void TestGetDataWorker::cancelStopsTheWorker() {
    Mission m;
    GetDataWorker worker(TestData::program(QStringLiteral("fake_svGetData")), quickLimits(60000));
    m.write(QStringLiteral("unused.mdb"), "Hang");
    int turns = 0;
    worker.run(m.path(), m.status, [&] {
        QThread::msleep(10);
        if (++turns == 20)
            worker.setAbort(true);
    });
    QCOMPARE(m.status.lines.last(),
             QString("Error in ProcessGetData on Hang error=the mission was cancelled"));
    QVERIFY(!m.tsvExists());
    // Until the abort is cleared no worker starts.
    m.write(QStringLiteral("unused.mdb"), "Hang");
    m.run(worker);
    QCOMPARE(m.status.lines.size(), 2);
    worker.setAbort(false);
}

void TestGetDataWorker::missingWorker() {
    Mission m;
    GetDataWorker worker(m.folder.file(QStringLiteral("svGetData")));
    m.write(QStringLiteral("unused.mdb"), "Orders");
    m.run(worker);
    QCOMPARE(m.status.lines.size(), 2);
    QVERIFY2(m.status.lines.at(1).startsWith(
                 "Error in ProcessGetData on Orders error=the database reader "),
             qPrintable(m.status.lines.at(1)));
    QVERIFY(m.status.lines.at(1).contains("cannot be started"));
}

// The real worker on the store's databases: a date range on a calculated date column and on a
// saved query, and a value without text, which ends the mission like a damaged row.
void TestGetDataWorker::storeDatabasesThroughTheWorker() {
    Mission m;
    const QString store = m.folder.file(QStringLiteral("store.accdb"));
    const QString odd = m.folder.file(QStringLiteral("odd.accdb"));
    QVERIFY(StoreDatabases::writeStore(store) && StoreDatabases::writeOdd(odd));
    GetDataWorker worker(TestData::program(QStringLiteral("svGetData")), quickLimits(60000));
    m.write(store, "Staff",
            "UseTargetStartDate=True\r\nStartDateFieldName=Review\r\nStartDate=1/1/2021\r\n"
            "DataFields=ID,FullName,Big\r\n");
    m.run(worker);
    QCOMPARE(m.status.lines.size(), 1);
    QCOMPARE(m.folder.lines(QStringLiteral("MissionData/m.tsv")),
             QStringList{"2\tKent, Clark\t-0.5"});
    QVERIFY(m.tsd().contains("StartDate=6/14/2021 12:45:00 PM\r\nEndDate=6/14/2021 12:45:00 PM"));

    m.write(store, "Unpaid",
            "UseTargetEndDate=True\r\nEndDateFieldName=OrderDate\r\nEndDate=2/3/2021\r\n"
            "DataFields=OrderID,CompanyName,Amount\r\n");
    m.run(worker);
    QCOMPARE(m.folder.lines(QStringLiteral("MissionData/m.tsv")),
             QStringList({"1\tAlfreds\t550", "2\tBoston Beans\t50", "4\tCactus\t250"}));
    QVERIFY(m.tsd().contains("StartDate=1/5/2021\r\nEndDate=2/3/2021"));

    m.write(odd, "Odd", "DataFields=ID,Shape\r\n");
    m.run(worker);
    QCOMPARE(m.status.lines.last(),
             QString("Error in ProcessGetData on Odd error=column 'Shape' of table 'Odd' holds "
                     "values of type 70, which cannot be turned into text"));
    QVERIFY(!m.tsvExists());
    QCOMPARE(m.tsd(), Tsd);
}

// A .tsv from before that cannot be removed (a folder of that name stands in for a file
// another program holds open) would go back as this mission's rows: the mission says so and
// does not run, and the return pack leaves the file out.
void TestGetDataWorker::dataFileThatCannotBeRemovedIsNotSent() {
    Mission m;
    QVERIFY(QDir().mkpath(m.folder.file(QStringLiteral("MissionData/m.tsv/held"))));
    GetDataWorker worker(TestData::program(QStringLiteral("fake_svGetData")), quickLimits(1000));
    m.write(QStringLiteral("unused.mdb"), "Crash");
    QVERIFY(!worker.run(m.path(), m.status, [] { QThread::msleep(10); }));
    QCOMPARE(m.status.lines.size(), 2);
    QVERIFY2(m.status.lines[1].startsWith("Error in ProcessGetData on Crash error=cannot delete " +
                                          m.folder.file("MissionData/m.tsv")) &&
                 m.status.lines[1].endsWith("; it is not sent"),
             qPrintable(m.status.lines[1]));
    QVERIFY(!QFile::exists(m.folder.file(QStringLiteral("worker.started"))));
}

// The night: MissionData's disk full (a file size limit the worker inherits) while
// the data file is held open (it cannot be removed). The worker, installed in the program
// folder, names the cause, and nothing of the partial file lies in MissionData.
void TestGetDataWorker::fullDiskWithTheDataFileHeldLeavesNothingToSend() {
#ifndef Q_OS_LINUX
    QSKIP("the held file is an LD_PRELOAD stand-in, Linux only (Windows: see test_replacingfile)");
#else
    Mission m;
    const QString program = m.folder.file(QStringLiteral("svGetData"));
    QVERIFY(QFile::copy(TestData::program(QStringLiteral("svGetData")), program));
    m.write(TestData::dataFile(QStringLiteral("nwind.mdb")), "Orders");
    const QByteArray asanOptions = qgetenv("ASAN_OPTIONS");
    qputenv("LD_PRELOAD", QFile::encodeName(TestData::binDir() + "/unremovable_preload.so"));
    qputenv("SKYVANE_TEST_UNREMOVABLE", "m.tsv");
    // The stand-in comes before the sanitizer's runtime in the worker.
    qputenv("ASAN_OPTIONS", asanOptions + ":verify_asan_link_order=0");
    {
        FileSizeLimit fullDisk(8192);
        GetDataWorker worker(program, quickLimits(60000));
        QVERIFY(worker.run(m.path(), m.status, [] { QThread::msleep(10); }));
    }
    qunsetenv("LD_PRELOAD");
    qunsetenv("SKYVANE_TEST_UNREMOVABLE");
    qputenv("ASAN_OPTIONS", asanOptions);

    const QString prefix = "Error in ProcessGetData on Orders error=";
    QCOMPARE(m.status.lines.size(), 3);
    QCOMPARE(m.status.lines[1], prefix + "cannot write " + m.folder.file("MissionData/m.tsv") +
                                    ": " + QString::fromLocal8Bit(std::strerror(EFBIG)));
    QVERIFY2(m.status.lines[2].startsWith(prefix + "cannot remove the unfinished " +
                                          m.folder.file("temp")) &&
                 m.status.lines[2].endsWith("; it is not sent and goes at the next start"),
             qPrintable(m.status.lines[2]));
    QCOMPARE(QDir(m.folder.file(QStringLiteral("MissionData")))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"m.ini", "m.tsd"}));
    QCOMPARE(m.tsd(), Tsd);
#endif
}

QTEST_GUILESS_MAIN(TestGetDataWorker)
#include "test_getdataworker.moc"
