// The built skyvane runs a Mission Pack whose database worker hangs, against the session server
// and a real FTP server: keep-alives go out all through the wait, the mission ends at the
// no-progress limit, and the return pack still goes back.
#include "client/foundation/paths.h"
#include "tests/support/clientprogram.h"
#include "tests/support/ftpserverfixture.h"
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
} // namespace

class TestGetDataProgram : public QObject {
    Q_OBJECT
private slots:
    void hangingWorkerEndsAtTheLimitWithKeepAlives();
};

void TestGetDataProgram::hangingWorkerEndsAtTheLimitWithKeepAlives() {
    TempProgramFolder folder;
    SessionServer server;
    FtpServerFixture ftp;
    ftp.addUser("store", "secret");
    ftp.makeFolder("store12");
    ftp.writeFile("store12/night.zip", TestZip::make({{"hang.ini", Mission}, {"hang.tsd", Tsd}}));
    QVERIFY(ftp.start());
    QVERIFY(server.listen());
    QVERIFY(server.setScript(
        ClientProgram::scriptToUpdateQuestion("store", "secret", ftp.address(), "store12") +
        "send E13\n"
        "expect STORE12E30night\n"
        "send E30night.zip\n"
        "expect STORE12E31\n"
        "send E09\n"
        "closed\n"));
    QVERIFY(ClientProgram::installClient(folder, server.port()));
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

QTEST_GUILESS_MAIN(TestGetDataProgram)
#include "test_getdataprogram.moc"
