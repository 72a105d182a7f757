#include "client/foundation/paths.h"
#include "tests/support/clientprogram.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/hostsystem.h"
#include "tests/support/junkflood.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testdata.h"
#include "tests/support/testzip.h"
#include "tools/sessionserver/sessionserver.h"

#include <QProcess>
#include <QtTest>

#include <functional>

namespace {
// The built skyvane, copied into the program folder with its settings, against server.
bool install(const TempProgramFolder& folder, const SessionServer& server) {
    const QString target = folder.file(Paths::executableName("skyvane"));
    if (!QFile::copy(TestData::program("skyvane"), target))
        return false;
    folder.write("skyvane.ini", QString("[system]\r\nID=STORE12\r\nPass=secret\r\n"
                                        "Connection=LAN\r\nServer=127.0.0.1\r\nPort=%1\r\n")
                                    .arg(server.port())
                                    .toLatin1());
    return true;
}

bool waitFor(const std::function<bool()>& done, int ms = 60000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Runs skyvane against the server's steps until it ends; its peak resident size in *peakKb.
bool runUntilEnd(const TempProgramFolder& folder, SessionServer& server,
                 const QList<SessionStep>& steps, qint64* peakKb, int ms) {
    server.setSteps(steps);
    if (!install(folder, server))
        return false;
    server.start();
    QProcess skyvane;
    skyvane.setProcessChannelMode(QProcess::ForwardedChannels);
    skyvane.start(folder.file(Paths::executableName("skyvane")), {});
    if (!skyvane.waitForStarted(10000))
        return false;
    *peakKb = 0;
    const bool ended = waitFor(
        [&] {
            *peakKb = qMax(*peakKb, HostSystem::peakMemoryKb(skyvane.processId()));
            return skyvane.state() == QProcess::NotRunning;
        },
        ms);
    return ended && skyvane.exitStatus() == QProcess::NormalExit &&
           waitFor([&] { return server.isFinished(); }, 5000);
}
} // namespace

class TestSkyvaneProgram : public QObject {
    Q_OBJECT
private slots:
    void wholeSession();
    void secondStartEndsAtOnce();
    void junkFloodCostsNeitherMemoryNorLog();
    void junkBetweenKeepAlivesCostsAFewLines();
    void sessionEndWithAWindowOpenEndsTheProcess_data();
    void sessionEndWithAWindowOpenEndsTheProcess();
    void sessionNameLikeAQtOptionReachesTheServerAndAPackPathIsRefused();
    void reportsOfARefusedUploadGoUpTheNextNight();
};

namespace {
// One night of the built skyvane in folder against an FTP server: the Mission Pack night.zip,
// the client's answer to it (E31 or E32), the transaction log asked for and its answer (E08 or
// E28). True when the session went as the script says and the client ended by itself.
bool night(const TempProgramFolder& folder, const QString& ftpAddress, const QString& answer,
           const QString& logAnswer, QString* failure) {
    SessionServer server;
    if (!server.listen() ||
        !server.setScript(
            ClientProgram::scriptToUpdateQuestion("store", "secret", ftpAddress, "store12") +
            "send E13\n"
            "expect STORE12E30night\n"
            "send E30night.zip\n"
            "expect STORE12" +
            answer + "\nsend E08\nexpect STORE12" + logAnswer + "\nsend E09\nclosed\n") ||
        !ClientProgram::installClient(folder, server.port()))
        return false;
    server.start();
    QProcess skyvane;
    const bool ended = ClientProgram::startClient(skyvane, folder, {"night"}) &&
                       ClientProgram::endsNormally(skyvane);
    ClientProgram::waitFor([&] { return server.isFinished(); }, 5000);
    *failure = server.error() + "\n" + folder.logTexts("transact.log").join('\n');
    return ended && server.succeeded();
}
} // namespace

void TestSkyvaneProgram::wholeSession() {
    TempProgramFolder folder;
    SessionServer server;
    QVERIFY(server.listen());
    QVERIFY(server.setScript("ignore STORE12E00\n"
                             "expect STORE12E01secret\n"
                             "send E011\n"
                             "expect STORE12E022.3.9018\n"
                             "send E02\n"
                             "expect STORE12E20\n"
                             "together E20ftpuser|E21ftppass\n"
                             "expect STORE12E21\n"
                             "expect STORE12E22\n"
                             "split 6 E22127.0.0.1\n"
                             "expect STORE12E23\n"
                             "send E23store12\n"
                             "expect STORE12E10\n"
                             "send E13\n"
                             "expect STORE12E30night\n"
                             "send E09\n"
                             "closed\n"));
    QVERIFY(install(folder, server));
    folder.write("transact.log", "12/5/2026 11:00:00 PM :Skyvane Terminated\r\n");
    server.start();

    QProcess skyvane;
    skyvane.setProgram(folder.file(Paths::executableName("skyvane")));
    skyvane.setArguments({"night"});
    skyvane.setProcessChannelMode(QProcess::ForwardedChannels);
    skyvane.start();
    QVERIFY(skyvane.waitForStarted());
    QVERIFY2(waitFor([&] { return skyvane.state() == QProcess::NotRunning; }),
             qPrintable(server.log().join('\n')));
    QCOMPARE(skyvane.exitStatus(), QProcess::NormalExit);
    QCOMPARE(skyvane.exitCode(), 0);
    QVERIFY2(server.succeeded(), qPrintable(server.error()));

    QCOMPARE(server.received(), QByteArray("STORE12E01secret\x08"
                                           "STORE12E022.3.9018\x08"
                                           "STORE12E20\x08"
                                           "STORE12E21\x08"
                                           "STORE12E22\x08"
                                           "STORE12E23\x08"
                                           "STORE12E10\x08"
                                           "STORE12E30night\x08"));
    // Queued messages leave one per 750 ms tick; E21 and E22 were queued together.
    const QList<SessionServer::Message> messages = server.messages();
    for (int i = 2; i < messages.size(); ++i)
        QVERIFY2(messages[i].msecs - messages[i - 1].msecs >= 500,
                 qPrintable(QString("%1 after %2 ms")
                                .arg(QString(messages[i].bytes))
                                .arg(messages[i].msecs - messages[i - 1].msecs)));

    QCOMPARE(folder.logTexts("transact.log"),
             QStringList({"Skyvane Terminated",
                          "Initializing Skyvane 2.3.9018.....",
                          "Detecting Network",
                          "Setting Server to: 127.0.0.1",
                          "Setting Port to: " + QString::number(server.port()),
                          "Connecting to: 127.0.0.1",
                          "Connected to the Dockmere",
                          "Registering STORE12 with the Dockmere",
                          "Client Registerd as:STORE12",
                          "Checking Version Compatibility",
                          "Version is Compatible",
                          "Requesting User Name",
                          "Requesting Password",
                          "Requesting Server",
                          "Requesting Store Folder Name",
                          "Checking for AutoUpdate of Skyvane",
                          "Auto Update Disabled",
                          "Requesting Mission Pack",
                          "Please Stand By...",
                          "Disconnecting from Dockmere Server",
                          "Ending Session",
                          "Skyvane Terminated"}));
    QCOMPARE(folder.logTexts("debugSend.log"),
             QStringList({"SEND STORE12E01****", "SEND STORE12E022.3.9018", "SEND STORE12E20",
                          "SEND STORE12E21", "SEND STORE12E22", "SEND STORE12E23",
                          "SEND STORE12E10", "SEND STORE12E30night"}));
    // The site and FTP passwords stay off the debug logs; the server got the site password
    // (the script expects it).
    for (const char* log : {"debug.log", "debugSend.log", "debugRecd.log"}) {
        QVERIFY(!folder.read(log).contains("secret"));
        QVERIFY(!folder.read(log).contains("ftppass"));
    }
    QCOMPARE(folder.logTexts("debugRecd.log"),
             QStringList({"RECD E011", "RECD E02", "RECD E20ftpuser", "RECD E21****",
                          "RECD E22127.0.0.1", "RECD E23store12", "RECD E13", "RECD E09"}));
}

void TestSkyvaneProgram::secondStartEndsAtOnce() {
    TempProgramFolder folder;
    SessionServer server;
    QVERIFY(server.listen());
    QVERIFY(server.setScript("expect STORE12E01secret\n"));
    QVERIFY(install(folder, server));
    server.start();
    const QString program = folder.file(Paths::executableName("skyvane"));

    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(program, {});
    QVERIFY(waitFor([&] { return server.isFinished(); }));

    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(program, {"other"});
    QVERIFY(waitFor([&] { return second.state() == QProcess::NotRunning; }));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(folder.logTexts("transact.log").count("Initializing Skyvane 2.3.9018....."), 1);
    QCOMPARE(first.state(), QProcess::Running);

    // The server ends the first one's session.
    QVERIFY(server.setScript("send E09\nclosed\n"));
    server.start();
    QVERIFY(waitFor([&] { return first.state() == QProcess::NotRunning; }));
    QCOMPARE(folder.logTexts("transact.log").last(), QString("Skyvane Terminated"));
}

void TestSkyvaneProgram::junkFloodCostsNeitherMemoryNorLog() {
    TempProgramFolder folder;
    SessionServer server;
    QVERIFY(server.listen());
    const int junk = 4000000;
    QList<SessionStep> steps;
    QString error;
    QVERIFY2(JunkFlood::steps("ignore STORE12E00\nignore STORE12E99\nexpect STORE12E01secret\n",
                              junk, "send E09\nclosed\n", &steps, &error),
             qPrintable(error));
    qint64 peakKb = 0;
    QVERIFY2(runUntilEnd(folder, server, steps, &peakKb, 120000), qPrintable(server.error()));
    QVERIFY2(server.succeeded(), qPrintable(server.error()));
    // A few lines for millions of messages, every one counted in them.
    QVERIFY(folder.read("transact.log").size() < 8192);
    const QStringList log = folder.logTexts("transact.log");
    QCOMPARE(log.count("Skyvane has recieved an unknown Command:JNK"), 10);
    QCOMPARE(JunkFlood::countedIgnored(log), qint64(junk - 10));
    QCOMPARE(log.last(), QString("Skyvane Terminated"));

    QVERIFY(peakKb > 0);
    const QString skip = HostSystem::memoryBoundSkipReason();
    if (!skip.isEmpty())
        QSKIP(qPrintable(skip));
    QVERIFY2(peakKb < 100 * 1024, qPrintable(QString::number(peakKb)));
}

// Junk with a known command after every ten, for half a minute: the known commands do not
// open the log again, and the keep-alives that overflow the queue cost a line, not one a slot.
void TestSkyvaneProgram::junkBetweenKeepAlivesCostsAFewLines() {
    TempProgramFolder folder;
    SessionServer server;
    QVERIFY(server.listen());
    QList<SessionStep> steps;
    QString error;
    QVERIFY2(JunkFlood::alternatingSteps(
                 "ignore STORE12E00\nignore STORE12E99\nexpect STORE12E01secret\n", 30,
                 "send E09\ntimeout 120\nclosed\n", &steps, &error),
             qPrintable(error));
    qint64 peakKb = 0;
    QVERIFY2(runUntilEnd(folder, server, steps, &peakKb, 180000), qPrintable(server.error()));
    QVERIFY2(server.succeeded(), qPrintable(server.error()));
    for (const QFileInfo& log : QDir(folder.path()).entryInfoList({"*.log"}, QDir::Files))
        QVERIFY2(log.size() < 64 * 1024, qPrintable(log.fileName()));
    const QStringList log = folder.logTexts("transact.log");
    QCOMPARE(log.count("Skyvane has recieved an unknown Command:JNK"), 10);
    QCOMPARE(JunkFlood::countedIgnored(log), qint64(300 * 10000 - 10));
    QVERIFY(!log.filter(QRegularExpression("^Dropped \\d+ incoming messages")).isEmpty());
    QCOMPARE(log.last(), QString("Skyvane Terminated"));
}

void TestSkyvaneProgram::sessionEndWithAWindowOpenEndsTheProcess_data() {
    QTest::addColumn<QString>("window");
    QTest::newRow("retry chooser") << "chooser";
    QTest::newRow("Cancel question") << "question";
}

void TestSkyvaneProgram::sessionEndWithAWindowOpenEndsTheProcess() {
    QFETCH(QString, window);
    TempProgramFolder folder;
    SessionServer server;
    QVERIFY(server.listen());
    // Cancel is offered while the connection fails.
    QVERIFY(server.setScript("refuse\n"));
    QVERIFY(install(folder, server));
    server.start();
    QVERIFY(waitFor([&] { return server.isFinished(); }));

    // A Qt input plugin presses Cancel and leaves the chooser (after Yes) or the question open.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_PLUGIN_PATH", QDir(TestData::binDir()).filePath("testplugins") +
                                             QDir::listSeparator() +
                                             environment.value("QT_PLUGIN_PATH"));
    environment.insert("QT_QPA_GENERIC_PLUGINS", "windowdriver:" + window);
    QProcess skyvane;
    skyvane.setProcessEnvironment(environment);
    skyvane.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    skyvane.start(folder.file(Paths::executableName("skyvane")), {});
    QByteArray output;
    QVERIFY(waitFor([&] {
        output += skyvane.readAllStandardOutput();
        return output.contains((window + " open").toLatin1());
    }));

    QVERIFY(server.setScript("listen\nignore STORE12E00\nexpect STORE12E01secret\nsend E09\n"
                             "closed\n"));
    server.start();
    QVERIFY2(waitFor([&] { return skyvane.state() == QProcess::NotRunning; }, 20000),
             "the session ended and the process still runs");
    QCOMPARE(skyvane.exitStatus(), QProcess::NormalExit);
    QVERIFY2(server.succeeded(), qPrintable(server.error()));
    QCOMPARE(folder.logTexts("transact.log").last(), QString("Skyvane Terminated"));
}

void TestSkyvaneProgram::sessionNameLikeAQtOptionReachesTheServerAndAPackPathIsRefused() {
    TempProgramFolder folder;
    // A file beside the program folder that a pack name with ".." would replace.
    QTemporaryFile outside(QFileInfo(folder.path()).dir().filePath("weeklyXXXXXX.zip"));
    QVERIFY(outside.open());
    outside.write("kept");
    outside.close();
    const QString packName = "../" + QFileInfo(outside.fileName()).fileName();
    SessionServer server;
    QVERIFY(server.listen());
    QVERIFY(server.setScript("ignore STORE12E00\n"
                             "expect STORE12E01secret\n"
                             "send E13\n"
                             "expect STORE12E30-session weekly\n"
                             "send E30" +
                             packName +
                             "\n"
                             "expect STORE12E32\n"
                             "send E09\n"
                             "closed\n"));
    QVERIFY(install(folder, server));
    server.start();

    QProcess skyvane;
    skyvane.setProcessChannelMode(QProcess::ForwardedChannels);
    skyvane.start(folder.file(Paths::executableName("skyvane")), {"-session", "weekly"});
    QVERIFY(waitFor([&] { return server.isFinished(); }));
    QVERIFY2(server.succeeded(), qPrintable(server.error()));
    QVERIFY(waitFor([&] { return skyvane.state() == QProcess::NotRunning; }));
    QFile kept(outside.fileName());
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("kept"));
    QVERIFY(folder.logTexts("transact.log")
                .contains("Mission Pack name refused, not a plain file name: " + packName));
}

void TestSkyvaneProgram::reportsOfARefusedUploadGoUpTheNextNight() {
    TempProgramFolder folder;
    FtpServerFixture office;
    office.addUser("store", "secret");
    office.makeFolder("store12");
    office.writeFile("store12/night.zip",
                     ClientProgram::reportsPack(folder, folder.file("archive")));

    // The office takes the pack's download and refuses every upload.
    FtpServerFixture refusing;
    refusing.setRootFolder(office.rootPath());
    refusing.addUser("store", "secret", true);
    QVERIFY(refusing.start());
    QString failure;
    QVERIFY2(night(folder, refusing.address(), "E32", "E28", &failure), qPrintable(failure));
    QVERIFY(QFile::exists(folder.file("reports/day.txt")));
    QVERIFY(!QFile::exists(folder.file("archive/day.txt")));
    refusing.stop();

    // The next night carries them, and only then are they archived.
    QVERIFY(office.start());
    QVERIFY2(night(folder, office.address(), "E31", "E08", &failure), qPrintable(failure));
    const QString returned = folder.file("returned.zip");
    QVERIFY(QFile::copy(office.filePath("store12/MissionPackIn.zip"), returned));
    QCOMPARE(TestZip::entries(returned), QStringList({"a.ini", "a.zip"}));
    QCOMPARE(TestZip::entries(folder.file("MissionData/a.zip")), QStringList("day.txt"));
    QVERIFY(!QFile::exists(folder.file("reports/day.txt")));
    QCOMPARE(folder.read("archive/day.txt"), QByteArray("sales"));
}

QTEST_GUILESS_MAIN(TestSkyvaneProgram)
#include "test_skyvaneprogram.moc"
