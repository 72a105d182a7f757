#include "client/foundation/paths.h"
#include "client/missions/archiveafterdelivery.h"
#include "client/missions/filemissions.h"
#include "client/missions/missionpack.h"
#include "client/transfer/ftpaccount.h"
#include "client/transfer/ftpclient.h"
#include "client/transfer/zipcomponent.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testtransferhost.h"
#include "tests/support/testzip.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray mission(const QByteArray& keys) {
    return "[Mission]\r\n" + keys;
}

int indexOfPrefix(const QStringList& lines, const QString& prefix) {
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(prefix))
            return i;
    }
    return -1;
}

} // namespace

class TestMissionPack : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wholeRoundReturnsResultsAndArchivesReports();
    void headlessRoundFallsBackToActiveAndSkipsGetData();
    void roundOverTls();
    void failuresOfTheReception_data();
    void packNameThatIsNoPlainFileNameTouchesNothing_data();
    void packNameThatIsNoPlainFileNameTouchesNothing();
    void failuresOfTheReception();
    void returnPackThatCannotBeMadeIsNotUploaded();
    void dataFileThatMustNotGoBackIsLeftOut();
    void sendfileThatFailsKeepsItsArchiveForTheServer();
    void getfileMatchingNothingWritesOnlyItsFirstLine();
    void archiveFolderEqualToSourceMovesNothing_data();
    void archiveFolderEqualToSourceMovesNothing();
    void missingDestinationPathUnpacksNowhere();
    void reportsMoveOnlyOnceTheirReturnPackIsDelivered();
    void filesChangedAfterPackingStayForTheNextNight();

private:
    void serve(const QString& packName, const QByteArray& pack);
    QString storeFile(const QString& name) const;

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<FtpServerFixture> m_server;
};

void TestMissionPack::init() {
    m_folder.reset(new TempProgramFolder);
    m_server.reset(new FtpServerFixture);
    m_server->addUser("store", "secret");
    m_server->makeFolder("store7");
    FtpAccount& s = ftpAccount();
    s.user = "store";
    s.password = "secret";
    s.storeFolder = "store7";
}

void TestMissionPack::cleanup() {
    m_server.reset();
    m_folder.reset();
}

void TestMissionPack::serve(const QString& packName, const QByteArray& pack) {
    m_server->writeFile("store7/" + packName, pack);
    QVERIFY(m_server->start());
    ftpAccount().server = m_server->address();
}

QString TestMissionPack::storeFile(const QString& name) const {
    return m_folder->file(name);
}

void TestMissionPack::wholeRoundReturnsResultsAndArchivesReports() {
    const QString reports = storeFile("reports");
    writeFile(reports + "/daily1.txt", "sales 1\r\n");
    writeFile(reports + "/daily2.TXT", "sales 2\r\n");
    writeFile(reports + "/keep.dat", "not matched\r\n");
    writeFile(storeFile("archive/daily1.txt"), "older copy\r\n");
    writeFile(storeFile("MissionData/stale.txt"), "from the last pack");
    writeFile(storeFile("MissionPackIn.zip"), "an old return pack");

    const QByteArray prices = TestZip::make({{"prices.txt", "apple\t1.00\r\n"}});
    const QByteArray pack = TestZip::make({
        {"a,reports.ini", mission("Type=GetFile\r\nTargetFiles=" + reports.toLocal8Bit() +
                                  "\\*.txt\r\nArchiveAfterGet=True\r\nArchivePath=" +
                                  storeFile("archive").toLocal8Bit() + "\r\n")},
        {"b_prices.ini",
         mission("Type=SENDFILE\r\nDestinationPath=" + storeFile("prices").toLocal8Bit() + "\r\n")},
        {"b_prices.zip", prices},
        {"c_odd.ini", mission("Type=teleport\r\n")},
        {"d_orders.ini", mission("Type=getData\r\n")},
    });
    serve("pack1.zip", pack);

    TestTransferHost host(m_folder->path(), TestTransferHost::windowed());
    QVERIFY(ProcessMissionPack(host, "pack1.zip", host.getDataRecorder()));

    // What went back to the central office.
    QVERIFY(m_server->exists("store7/MissionPackIn.zip"));
    QCOMPARE(TestZip::entries(m_server->filePath("store7/MissionPackIn.zip")),
             QStringList(
                 {"a,reports.ini", "a,reports.zip", "b_prices.ini", "c_odd.ini", "d_orders.ini"}));
    QCOMPARE(TestZip::entries(storeFile("MissionData/a,reports.zip")),
             QStringList({"daily1.txt", "daily2.TXT"}));

    // The store side after the run.
    QCOMPARE(readFile(storeFile("prices/prices.txt")), QByteArray("apple\t1.00\r\n"));
    QCOMPARE(QDir(reports).entryList(QDir::Files), QStringList({"keep.dat"}));
    QCOMPARE(readFile(storeFile("archive/daily1.txt")), QByteArray("sales 1\r\n"));
    QVERIFY(QFile::exists(storeFile("archive/daily2.TXT")));
    QVERIFY(!QFile::exists(storeFile("MissionData/stale.txt")));
    QCOMPARE(host.getDataMissions, QStringList({storeFile("MissionData/d_orders.ini")}));

    const QStringList& lines = host.lines;
    QCOMPARE(lines.first(), QString("Receiving Mission Pack: pack1.zip"));
    QVERIFY(lines.contains("pack1.zip Received Successfully"));
    QVERIFY(lines.contains("Processing Mission Pack: pack1.zip"));
    QVERIFY(lines.contains("Extracting pack1.zip to " + storeFile("MissionData")));
    const int getfile =
        lines.indexOf("Working On " + storeFile("MissionData/a,reports.ini") + ", GetFile");
    const int sendfile =
        lines.indexOf("Working On " + storeFile("MissionData/b_prices.ini") + ", SENDFILE");
    QVERIFY(getfile >= 0 && sendfile > getfile);
    QVERIFY(lines.contains("Creating " + storeFile("MissionData/a,reports.zip")));
    QVERIFY(lines.contains("Extracting " + storeFile("MissionData/b_prices.zip") + " to " +
                           storeFile("prices")));
    QCOMPARE(lines.mid(lines.size() - 3),
             QStringList({"Creating MissionPackIn.Zip", "Sending MissionPackIn.Zip",
                          storeFile("MissionPackIn.zip") + " Sent Successfully"}));
    QVERIFY(host.pulseTurns > 0);
}

void TestMissionPack::headlessRoundFallsBackToActiveAndSkipsGetData() {
    writeFile(storeFile("reports/r.txt"), "report");
    const QByteArray pack = TestZip::make({
        {"get.ini", mission("Type=getfile\r\nTargetFiles=" +
                            storeFile("reports/r.txt").toLocal8Bit() + "\r\n")},
        {"data.ini", mission("Type=getdata\r\n")},
    });
    m_server->setRefusePassive(true);
    serve("p.zip", pack);

    TestTransferHost host(m_folder->path(), TestTransferHost::headless());
    QVERIFY(ProcessMissionPack(host, "p.zip"));
    QCOMPARE(TestZip::entries(m_server->filePath("store7/MissionPackIn.zip")),
             QStringList({"data.ini", "get.ini", "get.zip"}));
    QCOMPARE(host.pulseTurns, 0);
    QCOMPARE(host.skippedSleepMs, 0);
    QVERIFY(QFile::exists(storeFile("reports/r.txt"))); // no archiving asked
}

void TestMissionPack::packNameThatIsNoPlainFileNameTouchesNothing_data() {
    QTest::addColumn<QString>("packName");
    QTest::newRow("parent") << "../victim.zip";
    QTest::newRow("parent, backslash") << "..\\victim.zip";
    QTest::newRow("sub-folder") << "in/victim.zip";
    QTest::newRow("drive") << "C:victim.zip";
    QTest::newRow("Windows device") << "NUL.zip";
    QTest::newRow("dot dot") << "..";
    QTest::newRow("empty") << "";
}

void TestMissionPack::packNameThatIsNoPlainFileNameTouchesNothing() {
    QFETCH(QString, packName);
    // The program folder is a sub-folder here, so that its parent is ours to watch.
    const QString program = storeFile("program");
    writeFile(storeFile("victim.zip"), "kept");
    writeFile(program + "/in/victim.zip", "kept");
    m_server->writeFile("victim.zip", TestZip::make({{"m.ini", mission("Type=teleport\r\n")}}));
    serve("in/victim.zip", TestZip::make({{"m.ini", mission("Type=teleport\r\n")}}));

    TestTransferHost host(program, TestTransferHost::windowed());
    QVERIFY(!ProcessMissionPack(host, packName));
    QCOMPARE(host.lines,
             QStringList("Mission Pack name refused, not a plain file name: " + packName));
    QCOMPARE(readFile(storeFile("victim.zip")), QByteArray("kept"));
    QCOMPARE(readFile(program + "/in/victim.zip"), QByteArray("kept"));
    QVERIFY(!QFile::exists(program + "/MissionData"));
}

void TestMissionPack::roundOverTls() {
    writeFile(storeFile("reports/r.txt"), "report");
    const QByteArray pack = TestZip::make({
        {"get.ini", mission("Type=getfile\r\nTargetFiles=" +
                            storeFile("reports/r.txt").toLocal8Bit() + "\r\n")},
    });
    m_server->setTls(FtpServerFixture::Tls::OwnCa);
    serve("p.zip", pack);

    TestTransferHost host(m_folder->path(), TestTransferHost::windowed());
    host.setFtpTls({true, m_server->caFile()});
    QStringList ftpLog;
    QObject::connect(&host.ftp(), &FtpClient::FtpLogText,
                     [&ftpLog](const QString& line) { ftpLog << line; });
    QVERIFY(ProcessMissionPack(host, "p.zip"));
    QCOMPARE(TestZip::entries(m_server->filePath("store7/MissionPackIn.zip")),
             QStringList({"get.ini", "get.zip"}));
    // The pack's download and the results' upload each logged in inside TLS.
    const qsizetype logins = ftpLog.filter(QRegularExpression("^USER ")).size();
    QVERIFY2(logins >= 2, qPrintable(ftpLog.join('\n')));
    QCOMPARE(ftpLog.filter(QRegularExpression("^AUTH TLS$")).size(), logins);
    QCOMPARE(ftpLog.filter(QRegularExpression("^TLS connection established: ")).size(), logins);
}

void TestMissionPack::failuresOfTheReception_data() {
    QTest::addColumn<QString>("packName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expectedPrefix");

    const QByteArray nested = TestZip::makeEntry("inner/m.ini", mission("Type=getfile\r\n"));
    QVERIFY(!nested.isEmpty());
    QTest::newRow("pack missing") << "absent.zip" << QByteArray() << "secret"
                                  << "Error Getting absent.zip";
    QTest::newRow("damaged pack") << "bad.zip" << QByteArray("PK\x03\x04 not really a zip")
                                  << "secret"
                                  << "Error in ProcessMissionPack During Unzip Error=";
    QTest::newRow("login refused") << "p.zip" << nested << "wrong"
                                   << "Error connecting to FTP Server";
    QTest::newRow("no mission at the top") << "nested.zip" << nested << "secret"
                                           << "";
}

void TestMissionPack::failuresOfTheReception() {
    QFETCH(QString, packName);
    QFETCH(QByteArray, content);
    QFETCH(QString, password);
    QFETCH(QString, expectedPrefix);

    writeFile(storeFile(packName), "left from an earlier run");
    if (!content.isEmpty())
        m_server->writeFile("store7/" + packName, content);
    QVERIFY(m_server->start());
    ftpAccount().server = m_server->address();
    ftpAccount().password = password;

    TestTransferHost host(m_folder->path(), TestTransferHost::windowed());
    QVERIFY(!ProcessMissionPack(host, packName));
    QVERIFY(!m_server->exists("store7/MissionPackIn.zip"));
    if (expectedPrefix.isEmpty()) {
        QVERIFY(host.lines.last().startsWith("Extracting "));
    } else {
        const qsizetype failed = indexOfPrefix(host.lines, expectedPrefix);
        QVERIFY2(failed >= 0, qPrintable(host.lines.join('|')));
        // The line after it gives the server's reason.
        if (expectedPrefix.startsWith("Error Getting"))
            QVERIFY2(host.lines.value(failed + 1).contains("550"),
                     qPrintable(host.lines.join('|')));
    }
    if (content.isEmpty()) // the old local copy never survives a failed download
        QVERIFY(!QFile::exists(storeFile(packName)));
}

void TestMissionPack::returnPackThatCannotBeMadeIsNotUploaded() {
    writeFile(storeFile("MissionData/m.ini"), mission("Type=unknown\r\n"));
    QVERIFY(m_server->start());
    ftpAccount().server = m_server->address();

    TestTransferHost host(m_folder->path(), TestTransferHost::windowed());
    host.zip().setAbort(true);
    QVERIFY(!ProcessMissions(host, {"m.ini"}));
    QCOMPARE(host.lines.size(), 2);
    QCOMPARE(host.lines[0], QString("Creating MissionPackIn.Zip"));
    QVERIFY(host.lines[1].startsWith("Error in ProcessMissions During Zip Error="));
    QVERIFY(host.lines[1].size() > QString("Error in ProcessMissions During Zip Error=").size());
    QVERIFY(!m_server->exists("store7/MissionPackIn.zip"));
}

void TestMissionPack::dataFileThatMustNotGoBackIsLeftOut() {
    writeFile(storeFile("MissionData/g.ini"), mission("Type=getdata\r\n"));
    writeFile(storeFile("MissionData/g.tsd"), "[TSD]\r\n");
    writeFile(storeFile("MissionData/g.tsv"), "10248\tstale\r\n");
    QVERIFY(m_server->start());
    ftpAccount().server = m_server->address();

    TestTransferHost host(m_folder->path(), TestTransferHost::windowed());
    QVERIFY(ProcessMissions(host, {"g.ini"}, [](const QString&) { return false; }));
    QCOMPARE(TestZip::entries(m_server->filePath("store7/MissionPackIn.zip")),
             QStringList({"g.ini", "g.tsd"}));
    // The next zip packs the folder whole again.
    QVERIFY(ProcessMissions(host, {"g.ini"}, host.getDataRecorder()));
    QCOMPARE(TestZip::entries(m_server->filePath("store7/MissionPackIn.zip")),
             QStringList({"g.ini", "g.tsd", "g.tsv"}));
}

void TestMissionPack::sendfileThatFailsKeepsItsArchiveForTheServer() {
    const QString path = storeFile("MissionData/s.ini");
    writeFile(path, mission("Type=sendfile\r\nDestinationPath=" + storeFile("dest").toLocal8Bit() +
                            "\r\n"));
    writeFile(storeFile("MissionData/s.zip"), "damaged");
    TestTransferHost host(m_folder->path(), TestTransferHost::windowed());
    ArchiveAfterDelivery later;
    QVERIFY(!ProcessGetSendFile(host, path, later));
    QCOMPARE(host.lines[1],
             "Extracting " + storeFile("MissionData/s.zip") + " to " + storeFile("dest"));
    QVERIFY(host.lines[2].startsWith("Error in ProcessGetSendFile During Unzip Error="));
    QVERIFY(QFile::exists(storeFile("MissionData/s.zip")));
}

void TestMissionPack::getfileMatchingNothingWritesOnlyItsFirstLine() {
    QDir().mkpath(storeFile("empty"));
    const QString path = storeFile("MissionData/g.ini");
    writeFile(path, mission("Type=GETFILE\r\nTargetFiles=" + storeFile("empty").toLocal8Bit() +
                            "/*.txt\r\n"));
    TestTransferHost host(m_folder->path(), TestTransferHost::windowed());
    ArchiveAfterDelivery later;
    QVERIFY(!ProcessGetSendFile(host, path, later));
    QCOMPARE(host.lines, QStringList({"Working On " + path + ", GETFILE"}));
    QVERIFY(!QFile::exists(storeFile("MissionData/g.zip")));
}

void TestMissionPack::archiveFolderEqualToSourceMovesNothing_data() {
    QTest::addColumn<QString>("archivePathSuffix");
    QTest::addColumn<bool>("allBackslashes"); // the whole path, drive included on Windows
    QTest::newRow("same text") << "reports" << false;
    QTest::newRow("trailing separator") << "reports/" << false;
    QTest::newRow("through ..") << "reports/../reports" << false;
    QTest::newRow("backslashes") << "reports\\" << false;
    QTest::newRow("backslashes throughout") << "reports" << true;
#ifdef Q_OS_WIN
    QTest::newRow("other case") << "REPORTS" << true;
#endif
}

void TestMissionPack::archiveFolderEqualToSourceMovesNothing() {
    QFETCH(QString, archivePathSuffix);
    QFETCH(bool, allBackslashes);
    QString archivePath = m_folder->path() + "/" + archivePathSuffix;
    if (allBackslashes)
        archivePath.replace('/', '\\');
    writeFile(storeFile("reports/a.txt"), "a");
    writeFile(storeFile("reports/b.txt"), "b");
    const QString path = storeFile("MissionData/g.ini");
    writeFile(path, mission("Type=getfile\r\nTargetFiles=" + storeFile("reports").toLocal8Bit() +
                            "/*.txt\r\nArchiveAfterGet=1\r\nArchivePath=" +
                            archivePath.toLocal8Bit() + "\r\n"));
    TestTransferHost host(m_folder->path(), TestTransferHost::windowed());
    ArchiveAfterDelivery later;
    QVERIFY(ProcessGetSendFile(host, path, later));
    later.moveAll(host);
    QCOMPARE(QDir(storeFile("reports")).entryList(QDir::Files), QStringList({"a.txt", "b.txt"}));
    QCOMPARE(TestZip::entries(storeFile("MissionData/g.zip")), QStringList({"a.txt", "b.txt"}));
    QVERIFY(host.lines.last().contains("no files moved"));
}

void TestMissionPack::missingDestinationPathUnpacksNowhere() {
    const QString path = storeFile("MissionData/s.ini");
    writeFile(path, mission("Type=sendfile\r\n"));
    writeFile(storeFile("MissionData/s.zip"), TestZip::make({{"x.txt", "x"}}));
    TestTransferHost host(m_folder->path(), TestTransferHost::windowed());
    ArchiveAfterDelivery later;
    QVERIFY(!ProcessGetSendFile(host, path, later));
    QVERIFY(host.lines.last().contains("no DestinationPath"));
    QVERIFY(QFile::exists(storeFile("MissionData/s.zip")));
    QVERIFY(!QDir("-1").exists());
}

void TestMissionPack::reportsMoveOnlyOnceTheirReturnPackIsDelivered() {
    writeFile(storeFile("reports/day1.txt"), "sales 1\r\n");
    const QByteArray pack = TestZip::make(
        {{"r.ini", mission("Type=getfile\r\nTargetFiles=" + storeFile("reports").toLocal8Bit() +
                           "/*.txt\r\nArchiveAfterGet=True\r\nArchivePath=" +
                           storeFile("archive").toLocal8Bit() + "\r\n")}});
    m_server->writeFile("store7/p.zip", pack);

    // The office takes the pack's download but refuses the upload.
    FtpServerFixture refusing;
    refusing.setRootFolder(m_server->rootPath());
    refusing.addUser("store", "secret", true);
    QVERIFY(refusing.start());
    ftpAccount().server = refusing.address();
    TestTransferHost failed(m_folder->path(), TestTransferHost::windowed());
    QVERIFY(!ProcessMissionPack(failed, "p.zip"));
    QVERIFY(indexOfPrefix(failed.lines, "Error Sending ") >= 0);
    QCOMPARE(QDir(storeFile("reports")).entryList(QDir::Files), QStringList({"day1.txt"}));
    QVERIFY(!QFile::exists(storeFile("archive/day1.txt")));
    refusing.stop();

    // The next night packs the reports again and delivers them.
    writeFile(storeFile("reports/day2.txt"), "sales 2\r\n");
    QVERIFY(m_server->start());
    ftpAccount().server = m_server->address();
    TestTransferHost delivered(m_folder->path(), TestTransferHost::headless());
    QVERIFY(ProcessMissionPack(delivered, "p.zip"));
    const QString returned = storeFile("returned.zip");
    QVERIFY(QFile::copy(m_server->filePath("store7/MissionPackIn.zip"), returned));
    QCOMPARE(TestZip::entries(returned), QStringList({"r.ini", "r.zip"}));
    QCOMPARE(TestZip::entries(storeFile("MissionData/r.zip")),
             QStringList({"day1.txt", "day2.txt"}));
    QVERIFY(QDir(storeFile("reports")).entryList(QDir::Files).isEmpty());
    QCOMPARE(QDir(storeFile("archive")).entryList(QDir::Files),
             QStringList({"day1.txt", "day2.txt"}));
    QVERIFY(delivered.lines.last().endsWith(" Sent Successfully"));
}

void TestMissionPack::filesChangedAfterPackingStayForTheNextNight() {
    const QString reports = storeFile("reports");
    for (const char* name : {"same.txt", "grown.txt", "touched.txt"})
        writeFile(reports + "/" + name, "report");
    writeFile(storeFile("archive/same.txt"), "last year's");
    writeFile(storeFile("blocked"), "a file where the second archive folder would go");
    ArchiveAfterDelivery later;
    later.add(ArchiveAfterDelivery::note(reports, {"same.txt", "grown.txt", "touched.txt"},
                                         storeFile("archive")));
    later.add(ArchiveAfterDelivery::note(reports, {"same.txt"}, storeFile("blocked/archive")));

    // Written or touched between packing and delivery: what was delivered is not what is there.
    QFile grown(reports + "/grown.txt");
    QVERIFY(grown.open(QIODevice::Append));
    grown.write(" and more");
    grown.close();
    QFile touched(reports + "/touched.txt");
    QVERIFY(touched.open(QIODevice::ReadWrite));
    QVERIFY(touched.setFileTime(touched.fileTime(QFileDevice::FileModificationTime).addSecs(5),
                                QFileDevice::FileModificationTime));
    touched.close();

    TestTransferHost host(m_folder->path(), TestTransferHost::windowed());
    later.moveAll(host);
    QCOMPARE(readFile(storeFile("archive/same.txt")), QByteArray("report"));
    QCOMPARE(QDir(reports).entryList(QDir::Files), QStringList({"grown.txt", "touched.txt"}));
    QCOMPARE(host.lines.size(), 3);
    QCOMPARE(host.lines[0], Paths::join(Paths::toNative(reports), "grown.txt") +
                                " changed after it was packed; it stays for the next night");
    QVERIFY(host.lines[1].contains("touched.txt changed after it was packed"));
    QVERIFY(!host.lines[2].isEmpty()); // the second archive folder cannot be made

    // Everything noted was handled once.
    host.lines.clear();
    later.moveAll(host);
    QVERIFY(host.lines.isEmpty());
}

QTEST_GUILESS_MAIN(TestMissionPack)
#include "test_missionpack.moc"
