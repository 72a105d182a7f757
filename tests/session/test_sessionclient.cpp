#include "client/foundation/clock.h"
#include "client/foundation/paths.h"
#include "client/foundation/prompter.h"
#include "client/foundation/settings.h"
#include "client/foundation/statuslog.h"
#include "client/session/clientstate.h"
#include "client/session/sessionclient.h"
#include "client/session/sessionprocedures.h"
#include "client/transfer/ftpaccount.h"
#include "tests/session/fakes.h"
#include "tests/support/tempprogramfolder.h"
#include "tools/sessionserver/sessionserver.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
// Procedures that succeed and record their calls.
class RecordingProcedures : public SessionProcedures {
public:
    QStringList calls;
    bool result = true;
    bool uploadTransactLog(const QString& logPath, bool removeSent) override {
        calls << "upload " + logPath + (removeSent ? " removing what was sent" : "");
        return result;
    }
    void autoUpdateClient() override {
        calls << "update";
    }
    bool processMissionPack(const QString& packName) override {
        calls << "pack " + packName;
        return result;
    }
    void abortTransfers() override {
        calls << "abort";
    }
};

// One client with its fakes, a server and a program folder of its own.
struct Rig {
    TempProgramFolder folder;
    RecordingHost host;
    FakeDialler dialler;
    ManualClock clock;
    ScriptedPrompter prompter;
    SessionServer server;
    SessionClient session{&host, &dialler};

    Rig() {
        clientSettings() = ClientSettings();
        clientSettings().siteId = "STORE12";
        clientSettings().sitePassword = "secret";
        clientSettings().connection = "LAN";
        clientSettings().server = "127.0.0.1";
        clientFlags() = ClientFlags();
        sessionValues() = SessionValues();
        ftpAccount() = FtpAccount();
        session.setClock(&clock);
        StatusLog::instance().setClock(&clock);
        Prompter::setCurrent(&prompter);
    }
    ~Rig() {
        Prompter::setCurrent(nullptr);
        StatusLog::instance().setClock(nullptr);
    }

    // Starts the server on its script and the client's network part against it.
    bool start(const QString& script) {
        QString error;
        if (!server.setScript(script, &error) || !server.listen()) {
            qWarning() << error;
            return false;
        }
        clientSettings().port = server.port();
        server.start();
        session.StartNetwork();
        return true;
    }

    // Lets events run and ticks the timers (without the 750 ms pace) until done() holds.
    bool drive(const std::function<bool()>& done, bool sendTicks = true) {
        QDeadlineTimer deadline(20000);
        while (!done() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            session.dispatchTick();
            if (sendTicks)
                session.sendTick();
            session.socketWatchTick();
        }
        return done();
    }

    QStringList log() const {
        return folder.logTexts("transact.log");
    }
};

int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}
} // namespace

class TestSessionClient : public QObject {
    Q_OBJECT
private slots:
    void sessionInItsUsualOrder();
    void oneQueuedMessageLeavesPerSendTick();
    void e06ReRegistersOncePerE06WithoutPause();
    void e01Results_data();
    void e01Results();
    void e03EndsTheClient();
    void unknownCodesAreAnsweredWithE99_data();
    void unknownCodesAreAnsweredWithE99();
    void laterCommandsDoNotPretendSuccess();
    void proceduresAreCalledWithTheirArguments();
    void updateStepsEndTheClient();
    void e07RestartsTheClient();
    void keepAliveOnlyWhilePulseOn();
    void queuesKeepEveryPendingMessageInOrder();
    void refusedConnectionGivesNoticeAndReconnects();
    void errorsWithoutReconnect();
    void serverCloseIsNoticedAndReconnects();
    void failingAllDayCostsKilobytes_data();
    void failingAllDayCostsKilobytes();
    void lanInAnyCaseIsNotDialled_data();
    void lanInAnyCaseIsNotDialled();
    void emptyConnectionEndsTheClient();
    void portOutOfRangeIsReported();
    void failedDialsScheduleRetriesThenGiveUp();
    void dialledConnectionIsHungUpAtTheEnd();
    void retryChooser();
};

void TestSessionClient::sessionInItsUsualOrder() {
    Rig rig;
    sessionValues().sessionName = "night";
    QVERIFY(rig.start("expect STORE12E01secret\n"
                      "send E011\n"
                      "expect STORE12E022.3.9018\n"
                      "send E02\n"
                      "expect STORE12E20\n"
                      "together E20ftpuser|E21ftp pass\n"
                      "expect STORE12E21\n"
                      "expect STORE12E22\n"
                      "split 5 E22files.example\n"
                      "expect STORE12E23\n"
                      "send E23store12\n"
                      "expect STORE12E10\n"
                      "send E13\n"
                      "expect STORE12E30night\n"
                      "send E09\n"
                      "closed\n"));
    QVERIFY2(rig.drive([&] { return rig.server.isFinished(); }), qPrintable(rig.server.error()));
    QVERIFY2(rig.server.succeeded(), qPrintable(rig.server.error()));
    QCOMPARE(rig.server.received(), QByteArray("STORE12E01secret\x08"
                                               "STORE12E022.3.9018\x08"
                                               "STORE12E20\x08"
                                               "STORE12E21\x08"
                                               "STORE12E22\x08"
                                               "STORE12E23\x08"
                                               "STORE12E10\x08"
                                               "STORE12E30night\x08"));
    QCOMPARE(ftpAccount().user, QString("ftpuser"));
    QCOMPARE(ftpAccount().password, QString("ftp pass"));
    QCOMPARE(ftpAccount().server, QString("files.example"));
    QCOMPARE(ftpAccount().storeFolder, QString("store12"));
    QVERIFY(clientFlags().closing);
    QCOMPARE(rig.host.calls.mid(rig.host.calls.indexOf("unloadNotice")),
             QStringList({"unloadNotice", "unloadMainWindow"}));
    // The status lines of the whole session are checked against the built program.
    QCOMPARE(rig.log().mid(rig.log().size() - 2),
             QStringList({"Disconnecting from Dockmere Server", "Ending Session"}));
    QCOMPARE(rig.folder.logTexts("debugRecd.log").first(), QString("RECD E011"));
    QCOMPARE(rig.folder.logTexts("debug.log").at(2), QString("SEND STO RE12E022.3.9018"));
}

void TestSessionClient::oneQueuedMessageLeavesPerSendTick() {
    Rig rig;
    QVERIFY(rig.start("expect STORE12E01secret\n"
                      "expect STORE12E20\n"
                      "expect STORE12E21\n"));
    rig.session.sendCode("E20");
    rig.session.sendCode("E21");
    // Nothing queued leaves before the registration has been sent.
    rig.session.sendTick();
    QVERIFY(rig.drive([&] { return rig.session.sendReady(); }, false));
    QCOMPARE(rig.server.messages().size(), 1);
    QCOMPARE(rig.session.pendingOutgoing().size(), 2);

    rig.session.sendTick();
    rig.session.sendTick(); // the first is still on its way: the second waits
    QCOMPARE(rig.session.pendingOutgoing(), QStringList({"STORE12E21"}));
    QVERIFY(rig.drive([&] { return rig.server.messages().size() == 2; }, false));
    QVERIFY(rig.drive([&] { return rig.session.sendReady(); }, false));
    rig.session.sendTick();
    QVERIFY(rig.drive([&] { return rig.server.isFinished(); }, false));
    QVERIFY(rig.server.succeeded());
}

void TestSessionClient::e06ReRegistersOncePerE06WithoutPause() {
    Rig rig;
    QVERIFY(rig.start("expect STORE12E01secret\n"
                      "send E06\n"
                      "expect STORE12E01secret\n"
                      "send E06\n"
                      "expect STORE12E01secret\n"
                      "send E011\n"));
    // Only dispatch runs: the registrations go out directly, not through the paced queue.
    QVERIFY(rig.drive([&] { return rig.server.isFinished(); }, false));
    QVERIFY(rig.drive([&] { return !rig.session.pendingOutgoing().isEmpty(); }, false));
    QVERIFY(rig.server.succeeded());
    QCOMPARE(rig.server.messages().size(), 3);
    QCOMPARE(rig.session.pendingOutgoing(), QStringList({"STORE12E022.3.9018"}));
    QCOMPARE(rig.log().count("The Server is busy finishing another session for this Skyvane."), 2);
    QCOMPARE(rig.log().count("Skyvane will retry every 5 seconds."), 2);
    QCOMPARE(rig.log().count("Registering STORE12 with the Dockmere"), 3);
}

void TestSessionClient::e01Results_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("refusal");
    const QString duplicate = "Client Registration Failed, A Duplicate ID has been found, Please "
                              "check your ID Setting, the program will exit.";
    const QString password = "Client Registration Failed, Bad Password, Please check your "
                             "Password Setting, the program will exit.";
    QTest::newRow("duplicate") << "E010" << duplicate;
    QTest::newRow("only the last character counts") << "E01OK10" << duplicate;
    QTest::newRow("bad password") << "E013" << password;
    QTest::newRow("success") << "E011" << QString();
    QTest::newRow("success ending in 1") << "E0101" << QString();
    QTest::newRow("no argument") << "E01" << QString();
}

void TestSessionClient::e01Results() {
    QFETCH(QString, message);
    QFETCH(QString, refusal);
    Rig rig;
    rig.session.DispatchCommand(message);
    if (refusal.isEmpty()) {
        QVERIFY(!clientFlags().closing);
        QCOMPARE(rig.log(),
                 QStringList({"Client Registerd as:STORE12", "Checking Version Compatibility"}));
        QCOMPARE(rig.session.pendingOutgoing(), QStringList({"STORE12E022.3.9018"}));
        QVERIFY(rig.prompter.asked().isEmpty());
        return;
    }
    QVERIFY(clientFlags().closing);
    QCOMPARE(rig.host.calls, QStringList({"unloadMainWindow", "unloadNotice"}));
    QCOMPARE(rig.prompter.asked().size(), 1);
    QCOMPARE(rig.prompter.asked().first().text, refusal);
    QCOMPARE(rig.prompter.asked().first().icon, Prompter::Icon::Critical);
    QVERIFY(rig.session.pendingOutgoing().isEmpty());
}

void TestSessionClient::e03EndsTheClient() {
    Rig rig;
    clientFlags().dialedUp = true;
    rig.session.DispatchCommand("E032.4.0");
    QCOMPARE(rig.log(),
             QStringList({"Version is Incompatible", "This Dockmere requires version 2.4.0",
                          "Disconnected---", "End Of Program"}));
    QVERIFY(clientFlags().closing);
    QVERIFY(!clientFlags().dialedUp);
    QCOMPARE(rig.host.calls, QStringList({"unloadNotice", "unloadMainWindow"}));
    QCOMPARE(rig.prompter.asked().size(), 1);
    QCOMPARE(rig.prompter.asked().first().text,
             QString("This Skyvane is Incompatiblle with the Dockmere it's trying to connect "
                     "to.\rThis Dockmere requires Skyvane version 2.4.0"));
    QCOMPARE(rig.prompter.asked().first().icon, Prompter::Icon::None);
}

void TestSessionClient::unknownCodesAreAnsweredWithE99_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("lower case") << "e02"
                                << "e02";
    QTest::newRow("unknown number") << "E04abc"
                                    << "E04";
    QTest::newRow("short") << "E5"
                           << "E5";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("client-only code") << "E31"
                                      << "E31";
}

void TestSessionClient::unknownCodesAreAnsweredWithE99() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    Rig rig;
    rig.session.spoolrequest(message);
    rig.session.dispatchTick();
    QCOMPARE(rig.log(), QStringList({"Skyvane has recieved an unknown Command:" + shown}));
    QCOMPARE(rig.session.pendingOutgoing(), QStringList({"STORE12E99"}));
}

void TestSessionClient::laterCommandsDoNotPretendSuccess() {
    Rig rig;
    rig.folder.write("transact.log", "12/6/2026 9:00:00 PM :earlier run\r\n");
    rig.session.DispatchCommand("E30pack.zip");
    rig.session.DispatchCommand("E08");
    rig.session.DispatchCommand("E37");
    rig.session.DispatchCommand("E10");
    QCOMPARE(rig.session.pendingOutgoing(),
             QStringList({"STORE12E32", "STORE12E28", "STORE12E28"}));
    QCOMPARE(rig.log(),
             QStringList(
                 {"earlier run",
                  "Mission Pack pack.zip cannot be processed: Mission Packs are not "
                  "available in this build",
                  "Sending Transact.log", "Upload of transact.log is not available in this build",
                  "Send Failed", "Prepare Mission Pack Failed", "Sending Transact.log",
                  "Upload of transact.log is not available in this build", "Send Failed",
                  "Performing Auto Update Step 1", "Auto Update is not available in this build"}));
}

void TestSessionClient::proceduresAreCalledWithTheirArguments() {
    Rig rig;
    RecordingProcedures procedures;
    rig.session.setProcedures(&procedures);
    rig.folder.write("transact.log", "12/6/2026 9:00:00 PM :earlier run\r\n");
    rig.session.DispatchCommand("E30pack 7.zip");
    rig.session.DispatchCommand("E10");
    rig.session.DispatchCommand("E08");
    rig.session.DispatchCommand("E07");
    QCOMPARE(procedures.calls,
             QStringList({"pack pack 7.zip", "update",
                          "upload " + rig.folder.file("transact.log") + " removing what was sent",
                          "upload " + rig.folder.file("transact.log")}));
    // Removing what went up is the upload's business: the lines written since stay.
    QCOMPARE(rig.log().mid(0, 5),
             QStringList({"earlier run", "Performing Auto Update Step 1", "Sending Transact.log",
                          "Send Complete", "Major Failure"}));
    QCOMPARE(rig.session.pendingOutgoing(), QStringList({"STORE12E31", "STORE12E08"}));

    procedures.result = false;
    rig.session.DispatchCommand("E30pack.zip");
    QCOMPARE(rig.session.pendingOutgoing().last(), QString("STORE12E32"));
}

void TestSessionClient::updateStepsEndTheClient() {
    Rig rig;
    sessionValues().sessionName = "night shift";
    QStringList started;
    rig.session.setProgramStarter([&](const QString& program, const QString& arguments) {
        started << program << arguments;
        return true;
    });
    rig.session.DispatchCommand("E11");
    QCOMPARE(rig.log(), QStringList({"Performing Auto Update Step 2"}));
    QVERIFY(clientFlags().closing);
    QCOMPARE(rig.host.calls, QStringList({"unloadMainWindow", "unloadNotice"}));
    QCOMPARE(started,
             QStringList({rig.folder.file(Paths::executableName("update")), "night shift"}));

    Rig second;
    second.session.DispatchCommand("E12");
    QCOMPARE(second.log(), QStringList({"Auto Update Failed, Skyvane is Shutting Down"}));
    QVERIFY(clientFlags().closing);
    QCOMPARE(second.prompter.asked().first().text,
             QString("Auto Update Failed, Skyvane cannot continue and will close."));
    QCOMPARE(second.prompter.asked().first().icon, Prompter::Icon::None);
}

void TestSessionClient::e07RestartsTheClient() {
    Rig rig;
    RecordingProcedures procedures;
    procedures.result = false;
    rig.session.setProcedures(&procedures);
    rig.session.DispatchCommand("E07");
    QCOMPARE(rig.log(), QStringList({"Major Failure", "Sending Transact.log"}));
    QCOMPARE(procedures.calls.size(), 1);
    QVERIFY(rig.session.pendingOutgoing().isEmpty()); // no answer, whatever the upload did
    QCOMPARE(rig.host.calls, QStringList({"unloadNotice", "unloadMainWindow", "restartClient"}));
}

void TestSessionClient::keepAliveOnlyWhilePulseOn() {
    Rig rig;
    rig.session.pulseTick();
    QVERIFY(rig.session.pendingOutgoing().isEmpty());
    clientFlags().pulseOn = true;
    rig.session.pulseTick();
    rig.session.pulseTick(); // the first has not left yet: no pile of keep-alives
    QCOMPARE(rig.session.pendingOutgoing(), QStringList({"STORE12E00"}));
    rig.session.sendCode("E31");
    rig.session.pulseTick();
    QCOMPARE(rig.session.pendingOutgoing(), QStringList({"STORE12E00", "STORE12E31"}));
    // The server's keep-alive is never answered.
    rig.session.DispatchCommand("E00");
    QCOMPARE(rig.session.pendingOutgoing().size(), 2);
    QVERIFY(rig.log().isEmpty());
}

void TestSessionClient::queuesKeepEveryPendingMessageInOrder() {
    Rig rig;
    QStringList expected, incoming;
    for (int i = 0; i < 250; ++i) {
        rig.session.sendCode(QString("E20user%1").arg(i));
        expected << QString("STORE12E20user%1").arg(i);
        incoming << QString("E20in%1").arg(i);
        rig.session.spoolrequest(incoming.last());
    }
    QCOMPARE(rig.session.pendingOutgoing(), expected);
    QCOMPARE(rig.session.pendingIncoming(), incoming);
    for (int i = 0; i < 250; ++i)
        rig.session.dispatchTick();
    QCOMPARE(rig.log().count("Requesting Password"), 250);
    QCOMPARE(ftpAccount().user, QString("in249"));
}

void TestSessionClient::refusedConnectionGivesNoticeAndReconnects() {
    Rig rig;
    clientSettings().port = freePort();
    rig.session.StartNetwork();
    const QString refused = "The 127.0.0.1 Server computer was found, but I can't connect to the "
                            "Dockmere. If problems persist please call your Tabulon Service "
                            "Provider.";
    for (int attempt = 1; attempt <= 3; ++attempt) {
        QVERIFY(rig.drive([&] { return rig.session.reconnectTry() == attempt; }));
        QCOMPARE(rig.host.noticeRetry, "Trying to reconnect, try " + QString::number(attempt));
        QCOMPARE(rig.host.noticeMessage, refused);
        QCOMPARE(rig.host.noticeShown, attempt);
        QVERIFY(rig.host.cancelEnabled);
    }
    QVERIFY(!rig.log().contains("Connected to the Dockmere"));

    // Hidden by the user: the texts change, the notice stays away.
    rig.host.noticeHidden = true;
    QVERIFY(rig.drive([&] { return rig.session.reconnectTry() == 4; }));
    QCOMPARE(rig.host.noticeRetry, QString("Trying to reconnect, try 4"));
    QCOMPARE(rig.host.noticeShown, 3);
}

void TestSessionClient::errorsWithoutReconnect() {
    Rig rig;
    rig.session.socketError(40006, "Wrong protocol or connection state");
    QVERIFY(!rig.session.reconnectPending());
    QCOMPARE(rig.host.noticeMessage,
             QString("Wrong protocol or connection state Check your TCP/IP settings in Network "
                     "control panel, it may not be loaded"));
    rig.session.socketError(10060, "Connection timed out");
    QVERIFY(rig.session.reconnectPending());
    QCOMPARE(rig.host.noticeMessage, QString("Connection timed out"));
    QCOMPARE(rig.host.noticeRetry, QString("Trying to reconnect, try 2"));
}

void TestSessionClient::serverCloseIsNoticedAndReconnects() {
    Rig rig;
    QVERIFY(rig.start("expect STORE12E01secret\n"
                      "raw E20half a mess\n"
                      "close\n"
                      "expect STORE12E01secret\n"
                      "send E011\n"));
    QVERIFY(rig.drive([&] { return rig.server.isFinished(); }));
    QVERIFY2(rig.server.succeeded(), qPrintable(rig.server.error()));
    QCOMPARE(rig.server.connectionCount(), 2);
    QCOMPARE(rig.host.count("makeNoticeVisible"), 1);
    QCOMPARE(rig.host.count("hideNotice"), 2); // each connect hides it
    // The piece from the closed connection does not stick to the new one's first message.
    QVERIFY(rig.drive([&] { return rig.log().contains("Client Registerd as:STORE12"); }));
    QVERIFY(!rig.log().contains("Requesting Password"));
}

void TestSessionClient::failingAllDayCostsKilobytes_data() {
    QTest::addColumn<bool>("accepts");
    QTest::newRow("refuses every connection") << false;
    QTest::newRow("accepts and closes every connection") << true;
}

void TestSessionClient::failingAllDayCostsKilobytes() {
    QFETCH(bool, accepts);
    Rig rig;
    QTcpServer closer;
    int accepted = 0;
    QObject::connect(&closer, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = closer.nextPendingConnection()) {
            ++accepted;
            socket->close();
            socket->deleteLater();
        }
    });
    QVERIFY(closer.listen(QHostAddress::LocalHost));
    clientSettings().port = accepts ? closer.serverPort() : freePort();
    rig.session.StartNetwork();
    // Three hours of the socket timer's reconnects, the clock moved on half a minute between
    // them: the log grows by its summaries, so an eighth of a day shows the day's cost (a whole
    // day's 2,880 connections take a minute under wine).
    const int hours = 3;
    const int attempts = hours * 120;
    for (int i = 1; i <= attempts; ++i) {
        QVERIFY(rig.drive([&] { return (accepts ? accepted : rig.session.reconnectTry()) >= i; }));
        rig.clock.advanceSeconds(30);
    }
    rig.session.writePendingSummaries();

    const QByteArray log = rig.folder.read("transact.log");
    QVERIFY2(log.size() < 64 * 1024 * hours / 24, qPrintable(QString::number(log.size())));
    if (!accepts)
        return;
    // Each line once, then counts that add up to every attempt.
    static const QRegularExpression counted(
        "^Connected to the Dockmere \\[repeated (\\d+) times\\]$");
    qint64 repeats = 0;
    for (const QString& line : rig.log())
        repeats += counted.match(line).captured(1).toLongLong();
    QCOMPARE(rig.log().count("Connected to the Dockmere"), 1);
    QCOMPARE(repeats + 1, rig.folder.logTexts("debugSend.log").count("SEND STORE12E01****"));
}

void TestSessionClient::lanInAnyCaseIsNotDialled_data() {
    QTest::addColumn<QString>("connection");
    QTest::newRow("lan") << "lan";
    QTest::newRow("Lan") << "Lan";
    QTest::newRow("LAN") << "LAN";
}

void TestSessionClient::lanInAnyCaseIsNotDialled() {
    QFETCH(QString, connection);
    Rig rig;
    clientSettings().connection = connection;
    clientSettings().port = freePort();
    rig.session.StartNetwork();
    QVERIFY(rig.dialler.dialled.isEmpty());
    QVERIFY(rig.session.networkReady());
    QCOMPARE(rig.log(), QStringList({"Detecting Network", "Setting Server to: 127.0.0.1",
                                     "Setting Port to: " + QString::number(clientSettings().port),
                                     "Connecting to: 127.0.0.1"}));
}

void TestSessionClient::emptyConnectionEndsTheClient() {
    Rig rig;
    clientSettings().connection.clear();
    rig.session.StartNetwork();
    QCOMPARE(rig.log(), QStringList({"Detecting Network",
                                     "Making Connection on: ", "No Connection is specified."}));
    QVERIFY(clientFlags().closing);
    QCOMPARE(rig.host.calls, QStringList({"unloadMainWindow"}));
    QCOMPARE(rig.prompter.asked().first().text,
             QString("No Connection is specified, please notify your Tabulon Service Provider "
                     "ASAP."));
    QVERIFY(!rig.session.retrySchedule().waiting());
    QVERIFY(rig.dialler.dialled.isEmpty());
}

void TestSessionClient::portOutOfRangeIsReported() {
    Rig rig;
    clientSettings().port = 70000;
    rig.session.StartNetwork();
    QCOMPARE(rig.log().mid(2),
             QStringList({"Setting Port to: 70000",
                          "Port 70000 in skyvane.ini is not a valid port number"}));
    QCOMPARE(rig.host.noticeMessage,
             QString("Port 70000 in skyvane.ini is not a valid port number"));
    QCOMPARE(rig.host.noticeShown, 1);
    QCOMPARE(rig.session.socketState(), QAbstractSocket::UnconnectedState);
    QVERIFY(!rig.session.reconnectPending());
}

void TestSessionClient::failedDialsScheduleRetriesThenGiveUp() {
    Rig rig;
    clientSettings().connection = "Store Modem";
    for (int i = 0; i < 11; ++i)
        rig.dialler.dialResults << (i % 2 ? 631u : 668u);
    rig.session.StartNetwork();
    QCOMPARE(rig.log(), QStringList({"Detecting Network", "Making Connection on: Store Modem",
                                     "Error in connecting: No Connection",
                                     "9:53:13 AM Retry #1 in 15 minute(s)."}));
    QVERIFY(rig.host.cancelEnabled);
    QVERIFY(!rig.session.networkReady());

    for (int tick = 1; tick <= 900; ++tick)
        rig.session.retryTick();
    QCOMPARE(rig.dialler.dialled.size(), 1);
    rig.session.retryTick();
    QCOMPARE(rig.dialler.dialled.size(), 2);
    QCOMPARE(rig.host.calls.mid(0, 2), QStringList({"restoreMainWindow", "showMainWindow"}));
    QCOMPARE(rig.log().mid(4),
             QStringList({"Detecting Network", "Making Connection on: Store Modem",
                          "Error in connecting: No Dial Tone, or User Canceled",
                          "9:53:13 AM Retry #2 in 15 minute(s)."}));

    while (rig.session.retrySchedule().waiting())
        rig.session.retryTick();
    QCOMPARE(rig.dialler.dialled.size(), 11);
    QCOMPARE(rig.log().mid(rig.log().size() - 2),
             QStringList(
                 {"Error in connecting: No Connection", "Exceeded 10 Retrys...Program Will Exit"}));
    QCOMPARE(rig.log().filter("Retry #").size(), 10);
    QCOMPARE(rig.prompter.asked().size(), 1);
    QCOMPARE(rig.prompter.asked().first().text,
             QString("After 10 Attempts the Skyvane has failed to connect to the Network, please "
                     "notify your Tabulon Service Provider ASAP"));
    QVERIFY(clientFlags().closing);
    QCOMPARE(rig.host.calls.mid(rig.host.calls.size() - 2),
             QStringList({"unloadMainWindow", "unloadNotice"}));
}

void TestSessionClient::dialledConnectionIsHungUpAtTheEnd() {
    Rig rig;
    clientSettings().connection = "Store Modem";
    // A server that listens: a refused connection may be reported at once (Windows), which
    // would enable Cancel again before the check below.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    clientSettings().port = server.serverPort();
    rig.session.StartNetwork();
    QVERIFY(clientFlags().dialedUp);
    QVERIFY(!rig.host.cancelEnabled);
    QCOMPARE(rig.log().mid(0, 4),
             QStringList({"Detecting Network", "Making Connection on: Store Modem",
                          "Connected to: Store Modem", "Setting Server to: 127.0.0.1"}));
    rig.session.DispatchCommand("E09");
    QCOMPARE(rig.dialler.hungUp, QList<Dialler::Handle>({1}));
    QVERIFY(!clientFlags().dialedUp);
    QCOMPARE(rig.log().mid(rig.log().size() - 4),
             QStringList({"Disconnecting from Dockmere Server", "Ending Session", "Disconnected---",
                          "End Of Program"}));

    rig.dialler.hangUpResult = 87;
    rig.session.HangUpConnection();
    QCOMPARE(rig.log().last(), QString("Error in disconnecting: ERROR_INVALID_PARAMETER"));
}

void TestSessionClient::retryChooser() {
    Rig rig;
    rig.session.chooseRetry("20");
    QCOMPARE(rig.log(), QStringList({"9:53:13 AM Retry in 20 minutes."}));
    QVERIFY(rig.session.retrySchedule().waiting());
    QCOMPARE(rig.session.retrySchedule().waitSeconds(), 1200);
    QCOMPARE(rig.host.calls, QStringList({"minimizeMainWindow"}));
    QVERIFY(!clientFlags().closing);

    rig.session.chooseRetry("0");
    QVERIFY(clientFlags().closing);
    QCOMPARE(rig.host.calls.mid(1), QStringList({"unloadMainWindow", "unloadNotice"}));
}

QTEST_GUILESS_MAIN(TestSessionClient)
#include "test_sessionclient.moc"
