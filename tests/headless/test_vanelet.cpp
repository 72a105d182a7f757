#include "client/foundation/paths.h"
#include "client/foundation/protocol/unknowncommands.h"
#include "tests/support/clientprogram.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/hostsystem.h"
#include "tests/support/junkflood.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testdata.h"
#include "tests/support/testzip.h"
#include "tools/sessionserver/sessionserver.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

namespace {

const char* registration = "expect STORE12E01secret\n"
                           "send E011\n"
                           "expect STORE12E022.3.9015\n";

const char* ftpData = "send E02\n"
                      "expect STORE12E20\n"
                      "send E20store\n"
                      "expect STORE12E21\n"
                      "send E21secret\n"
                      "expect STORE12E22\n"
                      "send E22%FTP%\n"
                      "expect STORE12E23\n"
                      "send E23store7\n"
                      "expect STORE12E10\n";

} // namespace

class TestVanelet : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wholeSessionDeliversTheReturnPack();
    void wholeNightAgainstVsftpd_data();
    void wholeNightAgainstVsftpd();
    void refusedPassiveModeStillTransfers();
    void reportsOfARefusedUploadGoUpTheNextNight();
    void endingsAndAnswers_data();
    void endingsAndAnswers();
    void serverThatIsNotThereEndsTheRun();
    void otherConnectionKindsEndAtOnce();
    void withoutLogNoLogFile();
    void leftoversOfACrashedRunGoAtStart();
    void junkFloodCostsAFewLines();
    void junkBetweenKeepAlivesCostsAFewLines();

private:
    void writeIni(quint16 port, const QByteArray& connection = "LAN");
    // Runs vanelet with the arguments against the script; true when the process ended.
    bool run(const QStringList& arguments, const QString& script);
    // Runs vanelet -log against the steps until it ends (true) or ms pass; its peak resident
    // size in *peakKb.
    bool runFlood(const QList<SessionStep>& steps, qint64* peakKb, int ms);

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<FtpServerFixture> m_ftp;
    std::unique_ptr<SessionServer> m_server;
    QString m_stderr;
    QString m_serverError;
};

void TestVanelet::init() {
    m_folder.reset(new TempProgramFolder);
    QVERIFY(QFile::copy(TestData::program("vanelet"),
                        m_folder->file(Paths::executableName("vanelet"))));
    m_ftp.reset(new FtpServerFixture);
    m_ftp->addUser("store", "secret");
    m_ftp->makeFolder("store7");
    m_server.reset(new SessionServer);
    QVERIFY(m_server->listen());
    writeIni(m_server->port());
}

void TestVanelet::cleanup() {
    m_server.reset();
    m_ftp.reset();
    m_folder.reset();
}

void TestVanelet::writeIni(quint16 port, const QByteArray& connection) {
    m_folder->write("skyvane.ini",
                    "[system]\r\nID=STORE12\r\nPass=secret\r\nConnection=" + connection +
                        "\r\nServer=127.0.0.1\r\nPort=" + QByteArray::number(port) + "\r\n");
}

bool TestVanelet::run(const QStringList& arguments, const QString& script) {
    QString text = script;
    if (m_ftp->isRunning())
        text.replace("%FTP%", m_ftp->address());
    QString error;
    if (!m_server->setScript(text, &error)) {
        m_serverError = error;
        return false;
    }
    m_server->start();
    QProcess vanelet;
    vanelet.setWorkingDirectory(m_folder->path());
    vanelet.start(m_folder->file(Paths::executableName("vanelet")), arguments);
    const bool started = vanelet.waitForStarted(10000);
    QElapsedTimer clock;
    clock.start();
    while (started && vanelet.state() != QProcess::NotRunning && clock.elapsed() < 60000)
        QTest::qWait(20);
    const bool ended = started && vanelet.state() == QProcess::NotRunning;
    if (!ended) {
        vanelet.kill();
        vanelet.waitForFinished(5000);
    }
    // Let the server see the end of the connection.
    QElapsedTimer grace;
    grace.start();
    while (!m_server->isFinished() && grace.elapsed() < 5000)
        QTest::qWait(20);
    m_stderr = QString::fromLocal8Bit(vanelet.readAllStandardError());
    m_serverError = m_server->error();
    return ended;
}

void TestVanelet::wholeSessionDeliversTheReturnPack() {
    const QString reports = m_folder->file("reports");
    QDir().mkpath(reports);
    QFile r(reports + "/day.txt");
    r.open(QIODevice::WriteOnly);
    r.write("report");
    r.close();
    m_ftp->writeFile("store7/night.zip",
                     TestZip::make({{"a.ini", "[Mission]\r\nType=getfile\r\nTargetFiles=" +
                                                  reports.toLocal8Bit() + "/*.txt\r\n"},
                                    {"b.ini", "[Mission]\r\nType=sendfile\r\nDestinationPath=" +
                                                  m_folder->file("prices").toLocal8Bit() + "\r\n"},
                                    {"b.zip", TestZip::make({{"list.txt", "apple"}})},
                                    {"c.ini", "[Mission]\r\nType=getdata\r\n"}}));
    QVERIFY(m_ftp->start());

    const QString script = QString(registration) + ftpData +
                           "send E10\n" // an update is due: vanelet stays silent
                           "pause 300\n"
                           "send E13\n"
                           "expect STORE12E30North\n"
                           "send E30night.zip\n"
                           "expect STORE12E31\n"
                           "send E08\n"
                           "closed\n";
    QVERIFY(run({"-session:North", "-log"}, script));
    QVERIFY2(m_server->succeeded(), qPrintable(m_serverError));

    const QByteArray expected = QByteArray("STORE12E01secret\x08"
                                           "STORE12E022.3.9015\x08"
                                           "STORE12E20\x08"
                                           "STORE12E21\x08"
                                           "STORE12E22\x08"
                                           "STORE12E23\x08"
                                           "STORE12E10\x08"
                                           "STORE12E30North\x08"
                                           "STORE12E31\x08");
    QCOMPARE(m_server->received(), expected);

    QCOMPARE(TestZip::entries(m_ftp->filePath("store7/MissionPackIn.zip")),
             QStringList({"a.ini", "a.zip", "b.ini", "c.ini"}));
    QVERIFY(QFile::exists(m_folder->file("prices/list.txt")));

    const QStringList log = m_folder->logTexts("vanelet.log");
    QCOMPARE(log.mid(0, 4),
             QStringList({"Connected to the Dockmere", "Registering STORE12 with the Dockmere",
                          "Client Registerd as:STORE12", "Checking Version Compatibility"}));
    QCOMPARE(log.mid(log.size() - 2), QStringList({"Missions Complete", "Disconnecting..."}));
    QVERIFY(log.contains(m_folder->file("MissionPackIn.zip") + " Sent Successfully"));
    // Every line carries the transact.log time stamp.
    QCOMPARE(m_folder->lines("vanelet.log").size(), log.size());
    for (const QString& line : m_folder->lines("vanelet.log"))
        QVERIFY(QRegularExpression("^\\d+/\\d+/\\d{4} \\d+:\\d\\d:\\d\\d [AP]M :")
                    .match(line)
                    .hasMatch());
}

void TestVanelet::wholeNightAgainstVsftpd_data() {
    QTest::addColumn<bool>("tls");
    QTest::newRow("FTP over TLS") << true;
    QTest::newRow("plain FTP") << false;
}

// vanelet never updates itself and never sends transact.log: its night is the Mission Pack and
// the return pack.
void TestVanelet::wholeNightAgainstVsftpd() {
    QFETCH(bool, tls);
    if (tls && !HostSystem::tlsResumptionProblem().isEmpty())
        QSKIP(qPrintable(HostSystem::tlsResumptionProblem()));
    m_ftp.reset(new FtpServerFixture(FtpServerFixture::Daemon::Vsftpd));
    m_ftp->addUser("store", "secret");
    m_ftp->setTls(tls ? FtpServerFixture::Tls::OwnCa : FtpServerFixture::Tls::Off);
    m_ftp->writeFile("store7/night.zip", ClientProgram::reportsPack(*m_folder));
    QVERIFY(m_ftp->start());
    if (tls)
        m_folder->write("skyvane.ini",
                        m_folder->read("skyvane.ini") + ClientProgram::ftpTlsSettings(*m_ftp));

    const QString script = QString(registration) + ftpData +
                           "send E13\n"
                           "expect STORE12E30default\n"
                           "send E30night.zip\n"
                           "expect STORE12E31\n"
                           "send E08\n"
                           "closed\n";
    QVERIFY(run({"-log"}, script));
    QVERIFY2(m_server->succeeded(),
             qPrintable(m_serverError + "\n" + m_folder->logTexts("vanelet.log").join('\n')));
    QCOMPARE(TestZip::entries(m_ftp->filePath("store7/MissionPackIn.zip")),
             QStringList({"a.ini", "a.zip"}));
}

void TestVanelet::refusedPassiveModeStillTransfers() {
    m_ftp->setRefusePassive(true);
    m_ftp->writeFile("store7/p.zip", TestZip::make({{"x.ini", "[Mission]\r\nType=none\r\n"}}));
    QVERIFY(m_ftp->start());
    const QString script = QString(registration) + ftpData +
                           "send E13\n"
                           "expect STORE12E30default\n"
                           "send E30p.zip\n"
                           "expect STORE12E31\n"
                           "send E09\n"
                           "closed\n";
    QVERIFY(run({}, script));
    QVERIFY2(m_server->succeeded(), qPrintable(m_serverError));
    QCOMPARE(TestZip::entries(m_ftp->filePath("store7/MissionPackIn.zip")), QStringList({"x.ini"}));
}

void TestVanelet::reportsOfARefusedUploadGoUpTheNextNight() {
    m_ftp->writeFile("store7/night.zip",
                     ClientProgram::reportsPack(*m_folder, m_folder->file("archive")));
    const QString night = QString(registration) + ftpData +
                          "send E13\n"
                          "expect STORE12E30default\n"
                          "send E30night.zip\n"
                          "expect STORE12E3%1\n"
                          "send E08\n"
                          "closed\n";

    // The office takes the pack's download and refuses the return pack.
    FtpServerFixture refusing;
    refusing.setRootFolder(m_ftp->rootPath());
    refusing.addUser("store", "secret", true);
    QVERIFY(refusing.start());
    QVERIFY(run({"-log"}, QString(night).replace("%FTP%", refusing.address()).arg(2)));
    QVERIFY2(m_server->succeeded(), qPrintable(m_serverError));
    QVERIFY(QFile::exists(m_folder->file("reports/day.txt")));
    QVERIFY(!QFile::exists(m_folder->file("archive/day.txt")));
    refusing.stop();

    // The next night carries them, and only then are they archived.
    QVERIFY(m_ftp->start());
    m_server.reset(new SessionServer);
    QVERIFY(m_server->listen());
    writeIni(m_server->port());
    QVERIFY(run({"-log"}, QString(night).arg(1)));
    QVERIFY2(m_server->succeeded(), qPrintable(m_serverError));
    const QString returned = m_folder->file("returned.zip");
    QVERIFY(QFile::copy(m_ftp->filePath("store7/MissionPackIn.zip"), returned));
    QCOMPARE(TestZip::entries(returned), QStringList({"a.ini", "a.zip"}));
    QCOMPARE(TestZip::entries(m_folder->file("MissionData/a.zip")), QStringList("day.txt"));
    QVERIFY(!QFile::exists(m_folder->file("reports/day.txt")));
    QCOMPARE(m_folder->read("archive/day.txt"), QByteArray("sales"));
}

void TestVanelet::endingsAndAnswers_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("lastLogLine");
    const QString registered = QString(registration);
    QTest::newRow("E06 ends") << registered + "send E06\nclosed\n"
                              << "Disconnecting...";
    QTest::newRow("E07 ends") << registered + "send E07\nclosed\n"
                              << "Disconnecting...";
    QTest::newRow("E03 ends") << registered + "send E032.4.0\nclosed\n"
                              << "This Dockmere requires version 2.4.0";
    QTest::newRow("E09 ends silently") << registered + "send E09\nclosed\n"
                                       << "Checking Version Compatibility";
    QTest::newRow("E37 answered with E08") << registered + "send E37\nexpect STORE12E08\n"
                                                           "send E09\nclosed\n"
                                           << "Checking Version Compatibility";
    QTest::newRow("unknown and lower case codes")
        << registered + "send E55\nexpect STORE12E99\nsend e02\nexpect STORE12E99\n"
                        "send E09\nclosed\n"
        << "Skyvane has recieved an unknown Command:e02";
    QTest::newRow("duplicate ID") << "expect STORE12E01secret\nsend E0140\nclosed\n"
                                  << "Client Registration Failed, A Duplicate ID has been found, "
                                     "Please check your ID Setting, the program will exit.";
    QTest::newRow("bad password") << "expect STORE12E01secret\nsend E013\nclosed\n"
                                  << "Client Registration Failed, Bad Password, Please check "
                                     "your Password Setting, the program will exit.";
    QTest::newRow("two messages in one write")
        << registered + "together E02|E20store\nexpect STORE12E20\nexpect STORE12E21\n"
                        "send E09\nclosed\n"
        << "Requesting Password";
    QTest::newRow("message in two writes")
        << registered + "split 3 E20store\nexpect STORE12E21\nsend E09\nclosed\n"
        << "Requesting Password";
    QTest::newRow("server closes") << registered + "close\n"
                                   << "Checking Version Compatibility";
}

void TestVanelet::endingsAndAnswers() {
    QFETCH(QString, script);
    QFETCH(QString, lastLogLine);
    QVERIFY(run({"-log"}, script));
    QVERIFY2(m_server->succeeded(), qPrintable(m_serverError));
    QCOMPARE(m_folder->logTexts("vanelet.log").last(), lastLogLine);
    if (lastLogLine.startsWith("Client Registration Failed"))
        QVERIFY(m_stderr.contains(lastLogLine));
}

void TestVanelet::serverThatIsNotThereEndsTheRun() {
    const quint16 port = m_server->port();
    m_server.reset(new SessionServer); // nobody listens on the old port any more
    writeIni(port);
    QProcess vanelet;
    vanelet.start(m_folder->file(Paths::executableName("vanelet")), {"-log"});
    QVERIFY(vanelet.waitForFinished(30000));
    QVERIFY(QString::fromLocal8Bit(vanelet.readAllStandardError()).contains("vanelet:"));
    QVERIFY(m_folder->logTexts("vanelet.log").last().startsWith("Connection error:"));
}

void TestVanelet::otherConnectionKindsEndAtOnce() {
    for (const QByteArray& kind : {QByteArray("lan"), QByteArray("Dial Office")}) {
        writeIni(m_server->port(), kind);
        QProcess vanelet;
        vanelet.start(m_folder->file(Paths::executableName("vanelet")), {"-log"});
        QVERIFY(vanelet.waitForFinished(10000));
        QCOMPARE(m_server->connectionCount(), 0);
        QVERIFY(!QFile::exists(m_folder->file("vanelet.log")));
    }
}

void TestVanelet::withoutLogNoLogFile() {
    QVERIFY(run({}, QString(registration) + "send E09\nclosed\n"));
    QVERIFY2(m_server->succeeded(), qPrintable(m_serverError));
    QVERIFY(!QFile::exists(m_folder->file("vanelet.log")));
}

bool TestVanelet::runFlood(const QList<SessionStep>& steps, qint64* peakKb, int ms) {
    m_server->setSteps(steps);
    m_server->start();
    QProcess vanelet;
    vanelet.start(m_folder->file(Paths::executableName("vanelet")), {"-log"});
    if (!vanelet.waitForStarted(10000))
        return false;
    *peakKb = 0;
    QDeadlineTimer deadline(ms);
    while (vanelet.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        *peakKb = qMax(*peakKb, HostSystem::peakMemoryKb(vanelet.processId()));
        QTest::qWait(20);
    }
    if (vanelet.state() != QProcess::NotRunning) {
        vanelet.kill();
        vanelet.waitForFinished(5000);
        return false;
    }
    QDeadlineTimer grace(5000);
    while (!m_server->isFinished() && !grace.hasExpired())
        QTest::qWait(20);
    return true;
}

// What a run killed while zipping left in the temporary folder goes when vanelet starts.
void TestVanelet::leftoversOfACrashedRunGoAtStart() {
    QVERIFY(QDir().mkpath(m_folder->file("temp/skyvane-1")));
    m_folder->write("temp/skyvane-1.lock", "999999999\nskyvane\n\n");
    m_folder->write("temp/skyvane-1/.deflate-a1b2c3.tmp", QByteArray(100000, 'x'));
    m_folder->write("temp/skyvane-1/MissionPackIn.zip.d4e5f6", "half an archive");
    QVERIFY(run({}, QString(registration) + "send E09\nclosed\n"));
    QVERIFY2(m_server->succeeded(), qPrintable(m_serverError));
    QCOMPARE(QDir(m_folder->file("temp"))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void TestVanelet::junkFloodCostsAFewLines() {
    const int junk = 4000000;
    QList<SessionStep> steps;
    QString error;
    QVERIFY2(JunkFlood::steps(QString(registration) + "ignore STORE12E99\n", junk,
                              "send E09\nclosed\n", &steps, &error),
             qPrintable(error));
    qint64 peakKb = 0;
    QVERIFY(runFlood(steps, &peakKb, 120000));
    QVERIFY2(m_server->succeeded(), qPrintable(m_server->error()));

    // A few lines instead of millions, and every message counted in them.
    QVERIFY(m_folder->read("vanelet.log").size() < 4096);
    const QStringList log = m_folder->logTexts("vanelet.log");
    QCOMPARE(log.count("Skyvane has recieved an unknown Command:JNK"),
             UnknownCommands::ReportedPerWindow);
    QCOMPARE(JunkFlood::countedIgnored(log), qint64(junk - UnknownCommands::ReportedPerWindow));

    QVERIFY(peakKb > 0);
    const QString skip = HostSystem::memoryBoundSkipReason();
    if (!skip.isEmpty())
        QSKIP(qPrintable(skip));
    // vanelet runs in about 20 MB; the burst held whole would cost three times that.
    QVERIFY2(peakKb < 50 * 1024, qPrintable(QString::number(peakKb)));
}

// Junk with a keep-alive after every ten, for half a minute: the known commands do not open
// the log again.
void TestVanelet::junkBetweenKeepAlivesCostsAFewLines() {
    QList<SessionStep> steps;
    QString error;
    QVERIFY2(JunkFlood::alternatingSteps(QString(registration) + "ignore STORE12E99\n", 30,
                                         "send E09\nclosed\n", &steps, &error),
             qPrintable(error));
    qint64 peakKb = 0;
    QVERIFY(runFlood(steps, &peakKb, 120000));
    QVERIFY2(m_server->succeeded(), qPrintable(m_server->error()));
    QVERIFY(m_folder->read("vanelet.log").size() < 64 * 1024);
    const QStringList log = m_folder->logTexts("vanelet.log");
    QCOMPARE(log.count("Skyvane has recieved an unknown Command:JNK"),
             UnknownCommands::ReportedPerWindow);
    QCOMPARE(JunkFlood::countedIgnored(log),
             qint64(300 * 10000 - UnknownCommands::ReportedPerWindow));
}

QTEST_GUILESS_MAIN(TestVanelet)
#include "test_vanelet.moc"
