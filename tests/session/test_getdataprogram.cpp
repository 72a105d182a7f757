// The built skyvane runs Mission Packs against the session server and a real FTP server: one
// whose database worker hangs (keep-alives go out all through the wait, the mission ends at the
// no-progress limit, and the return pack still goes back), and one that reads the store's
// databases of every kind with the real worker.
#include "client/foundation/paths.h"
#include "tests/support/clientprogram.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/storedatabases.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testdata.h"
#include "tests/support/testzip.h"
#include "tools/sessionserver/sessionserver.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

namespace {
const QByteArray Tsd = "[TSD]\r\nDataTypes=n\r\nStartDate=1/1/1900\r\nEndDate=1/1/1900\r\n";
const QByteArray Mission = "[Mission]\r\nType=getdata\r\nMDBName=pos.mdb\r\nTableName=Hang\r\n"
                           "UseTargetStartDate=True\r\nStartDateFieldName=OrderDate\r\n"
                           "DataFields=OrderID\r\n";
constexpr int LimitMs = 4000;

// The pack waits on the FTP server as store12/night.zip; the session server hands it over on
// the client's request, expects E31 and ends the session; the client is installed with its
// worker.
bool serveNight(const TempProgramFolder& folder, SessionServer& server, FtpServerFixture& ftp,
                const QMap<QString, QByteArray>& pack) {
    ftp.addUser("store", "secret");
    ftp.makeFolder("store12");
    ftp.writeFile("store12/night.zip", TestZip::make(pack));
    return ftp.start() && server.listen() &&
           server.setScript(
               ClientProgram::scriptToUpdateQuestion("store", "secret", ftp.address(), "store12") +
               "send E13\n"
               "expect STORE12E30night\n"
               "send E30night.zip\n"
               "expect STORE12E31\n"
               "send E09\n"
               "closed\n") &&
           ClientProgram::installClient(folder, server.port());
}
} // namespace

class TestGetDataProgram : public QObject {
    Q_OBJECT
private slots:
    void hangingWorkerEndsAtTheLimitWithKeepAlives();
    void storeDatabasesInANight();
};

void TestGetDataProgram::hangingWorkerEndsAtTheLimitWithKeepAlives() {
    TempProgramFolder folder;
    SessionServer server;
    FtpServerFixture ftp;
    QVERIFY(serveNight(folder, server, ftp, {{"hang.ini", Mission}, {"hang.tsd", Tsd}}));
    // The stand-in worker, which says one line and then never another word.
    const QString worker = folder.file(Paths::executableName("svGetData"));
    QFile::remove(worker);
    QVERIFY(QFile::copy(TestData::program("fake_svGetData"), worker));
    const qint64 serverStarted = QDateTime::currentMSecsSinceEpoch();
    server.start();

    QProcess skyvane;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SKYVANE_GETDATA_NO_PROGRESS_MS", QString::number(LimitMs));
    skyvane.setProcessEnvironment(environment);
    QVERIFY(ClientProgram::startClient(skyvane, folder, {"night"}));
    const auto failure = [&] {
        return qPrintable(server.error() + "\n" + server.log().join('\n') + "\n" +
                          folder.logTexts("transact.log").join('\n'));
    };
    QVERIFY2(ClientProgram::endsNormally(skyvane), failure());
    QVERIFY2(server.succeeded(), failure());

    const QStringList log = folder.logTexts("transact.log");
    const qsizetype working = log.indexOf(QRegularExpression("^Working On .*hang.ini, GetData$"));
    QVERIFY2(working > 0, failure());
    QCOMPARE(log.mid(working + 1, 2),
             QStringList({"fake worker reading",
                          "Error in ProcessGetData on Hang error=the database reader made no "
                          "progress for 4 s and was stopped"}));

    // The return pack holds the mission as delivered and no data file.
    const QString returned = folder.file("returned.zip");
    QFile::remove(returned);
    QVERIFY(QFile::copy(ftp.filePath("store12/MissionPackIn.zip"), returned));
    QCOMPARE(TestZip::entries(returned), QStringList({"hang.ini", "hang.tsd"}));
    QCOMPARE(folder.read("MissionData/hang.tsd"), Tsd);

    // Keep-alives went out every second while the worker was waited for (the session server's
    // clock starts with the server).
    const qint64 started = folder.read("worker.started").toLongLong() - serverStarted;
    QList<qint64> pulses;
    for (const SessionServer::Message& m : server.messages()) {
        if (m.bytes == "STORE12E00" && m.msecs >= started && m.msecs <= started + LimitMs)
            pulses << m.msecs;
    }
    QVERIFY2(pulses.size() >= LimitMs / 1000 - 1, failure());
    pulses.prepend(started);
    pulses.append(started + LimitMs);
    for (int i = 1; i < pulses.size(); ++i)
        QVERIFY2(pulses[i] - pulses[i - 1] < 2500,
                 qPrintable(QString("a gap of %1 ms").arg(pulses[i] - pulses[i - 1])));
}

// A night of a store whose databases hold calculated columns (a date range on a calculated
// date), a saved query (with a date range), extended dates and a column no reader knows.
void TestGetDataProgram::storeDatabasesInANight() {
    TempProgramFolder folder;
    SessionServer server;
    FtpServerFixture ftp;
    QVERIFY(StoreDatabases::writeStore(folder.file("store.accdb")));
    QVERIFY(StoreDatabases::writeVisits(folder.file("visits.accdb")));
    QVERIFY(StoreDatabases::writeOdd(folder.file("odd.accdb")));
    const auto mission = [&](const char* database, const QByteArray& keys) {
        return "[Mission]\r\nType=getdata\r\nMDBName=" + folder.file(database).toLocal8Bit() +
               "\r\n" + keys;
    };
    const QByteArray tsd =
        "[TSD]\r\nDataTypes=n,s,n,s\r\nStartDate=1/1/1900\r\nEndDate=1/1/1900\r\n";
    QMap<QString, QByteArray> pack = {
        {"staff.ini",
         mission("store.accdb",
                 "TableName=Staff\r\nUseTargetStartDate=True\r\nStartDateFieldName="
                 "Review\r\nStartDate=1/1/2020\r\nDataFields=ID,FullName,Pay,Note\r\n")},
        {"unpaid.ini",
         mission("store.accdb", "TableName=Unpaid\r\nUseTargetStartDate=True\r\nStartDateFieldName="
                                "OrderDate\r\nStartDate=2/1/2021\r\nDataFields=OrderID,"
                                "CompanyName,Amount,OrderDate\r\n")},
        {"visits.ini", mission("visits.accdb", "TableName=Visits\r\nDataFields=ID,Arrived\r\n")},
        {"odd.ini", mission("odd.accdb", "TableName=Odd\r\nDataFields=ID,Shape\r\n")}};
    for (const char* name : {"staff", "unpaid", "visits", "odd"})
        pack.insert(QString(name) + ".tsd", tsd);
    QVERIFY(serveNight(folder, server, ftp, pack));
    server.start();
    QProcess skyvane;
    QVERIFY(ClientProgram::startClient(skyvane, folder, {"night"}));
    QVERIFY2(ClientProgram::endsNormally(skyvane), qPrintable(server.log().join('\n')));
    QVERIFY2(server.succeeded(), qPrintable(server.error()));

    const QString returned = folder.file("returned.zip");
    QVERIFY(QFile::copy(ftp.filePath("store12/MissionPackIn.zip"), returned));
    QCOMPARE(TestZip::entries(returned),
             QStringList({"odd.ini", "odd.tsd", "staff.ini", "staff.tsd", "staff.tsv", "unpaid.ini",
                          "unpaid.tsd", "unpaid.tsv", "visits.ini", "visits.tsd", "visits.tsv"}));
    QCOMPARE(folder.read("MissionData/staff.tsv"),
             QByteArray("1\tWayne, Bruce\t83333.3333\ta?a\r\n2\tKent, Clark\t-12.5\t\xdcn\xef"
                        "c\xf6"
                        "d\xe9\r\n"));
    QVERIFY(folder.read("MissionData/staff.tsd")
                .contains("StartDate=6/17/2020\r\n"
                          "EndDate=6/14/2021 12:45:00 PM"));
    QCOMPARE(folder.lines("MissionData/unpaid.tsv"),
             QStringList({"4\tCactus\t250\t2/3/2021", "5\tBoston Beans\t10\t2/9/2021",
                          "6\tCactus\t600\t3/1/2021"}));
    QVERIFY(
        folder.read("MissionData/unpaid.tsd").contains("StartDate=2/3/2021\r\nEndDate=3/1/2021"));
    QCOMPARE(folder.lines("MissionData/visits.tsv").value(3),
             QString("4\t12/31/9999 11:59:59.9999999 PM"));
    QCOMPARE(folder.read("MissionData/odd.tsd"), tsd);
    QVERIFY(folder.logTexts("transact.log")
                .contains("Error in ProcessGetData on Odd error=column 'Shape' of table 'Odd' "
                          "holds values of type 70, which cannot be turned into text"));
}

QTEST_GUILESS_MAIN(TestGetDataProgram)
#include "test_getdataprogram.moc"
