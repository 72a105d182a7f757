#include "client/foundation/clock.h"
#include "client/foundation/paths.h"
#include "client/foundation/prompter.h"
#include "client/foundation/settings.h"
#include "client/foundation/singleinstance.h"
#include "client/foundation/statuslog.h"
#include "client/session/clientapp.h"
#include "client/session/clientstate.h"
#include "client/session/frmmain.h"
#include "client/session/frmnoserv.h"
#include "client/session/frmretryin.h"
#include "client/session/pacedtimer.h"
#include "client/transfer/ftpaccount.h"
#include "tests/session/fakes.h"
#include "tests/support/tempprogramfolder.h"
#include "tools/sessionserver/sessionserver.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTcpServer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

QByteArray ini(const QString& connection, int port) {
    return QString("[system]\r\nID=STORE12\r\nPass=secret\r\nConnection=%1\r\nServer=127.0.0.1\r\n"
                   "Port=%2\r\n")
        .arg(connection)
        .arg(port)
        .toLatin1();
}

// The windowed client in this process, with its timers stopped and its questions answered.
struct Client {
    TempProgramFolder folder;
    FakeDialler dialler;
    ManualClock clock;
    ScriptedPrompter prompter;
    SessionServer server;
    std::unique_ptr<ClientApp> app;

    explicit Client(const QStringList& arguments = {}) {
        clientSettings() = ClientSettings();
        clientFlags() = ClientFlags();
        sessionValues() = SessionValues();
        ftpAccount() = FtpAccount();
        Prompter::setCurrent(&prompter);
        ClientApp::Options options;
        options.arguments = arguments;
        options.dialler = &dialler;
        options.clock = &clock;
        options.singleInstance = false;
        options.runTimers = false;
        app = std::make_unique<ClientApp>(options);
    }
    ~Client() {
        app.reset();
        Prompter::setCurrent(nullptr);
    }

    // Starts the client against a refusing port, or against a server playing script.
    void start(const QString& connection, const QString& script = QString()) {
        int port = freePort();
        if (!script.isEmpty()) {
            QVERIFY(server.setScript(script));
            QVERIFY(server.listen());
            port = server.port();
            server.start();
        }
        folder.write("skyvane.ini", ini(connection, port));
        QVERIFY(app->StartClient());
    }

    bool drive(const std::function<bool()>& done) {
        QDeadlineTimer deadline(20000);
        while (!done() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            app->session().dispatchTick();
            app->session().sendTick();
            app->session().socketWatchTick();
        }
        return done();
    }

    QStringList log() const {
        return folder.logTexts("transact.log");
    }
};
} // namespace

class TestClientWindows : public QObject {
    Q_OBJECT
private slots:
    // The status list runs first: a closed client leaves the status log quiet for good.
    void statusListShowsTheLinesAndSelectsTheNewest();
    void mainWindowControlsAndTimers();
    void timersSleepWithoutWorkAndKeepTheirBeat();
    void sessionNameFromTheCommandLine_data();
    void sessionNameFromTheCommandLine();
    void startUpOrderAndSettingsProblems();
    void closeAsksAndNoKeepsTheSession();
    void closeYesEndsTheClient();
    void lowerCaseLanHangsUpWhenClosing();
    void cancelOnLanKeepsTheSocketAndOffersTheChooser();
    void chooserZeroEndsTheClient();
    void chooserTwentyWaitsThenReconnects();
    void emptyConnectionEndsTheClient();
    void hiddenNoticeComesBackAfterSixtyOneSeconds();
    void majorFailureRestartsTheClient();
    void sessionEndClosesTheChooserToo();
    void lateCopyOfTwoStartsHandsOverAndEnds();
};

void TestClientWindows::statusListShowsTheLinesAndSelectsTheNewest() {
    Client client;
    client.start("LAN");
    QListView* list = client.app->mainWindow()->lstStatus();
    const QStringList shown = StatusLog::instance().model()->stringList();
    QCOMPARE(list->model(), StatusLog::instance().model());
    QCOMPARE(shown.mid(shown.size() - client.log().size()), client.log());
    QCOMPARE(list->currentIndex().row(), shown.size() - 1);
}

void TestClientWindows::timersSleepWithoutWorkAndKeepTheirBeat() {
    Client client;
    client.start("LAN", "expect STORE12E01secret\n");
    QVERIFY(client.drive([&] { return client.server.isFinished(); }));
    frmMain* main = client.app->mainWindow();
    SessionClient& session = client.app->session();
    const qint64 start = client.clock.steadyMs();
    const auto at = [&](qint64 ms) { client.clock.set(client.clock.now().addMSecs(ms)); };
    main->startTimers();
    // Connected and idle: nothing ticks.
    for (PacedTimer* timer : {main->tmrPulse(), main->spltimer(), main->clientspltimer(),
                              main->socktimer(), main->tmrRetrySec()})
        QVERIFY(!timer->isActive());

    // A message queued 100 ms into the beat leaves on the beat's next tick, as it did when the
    // timer ticked all the time; the next one waits for the first to have left.
    at(100);
    session.sendCode("E11");
    QCOMPARE(main->clientspltimer()->nextTickAt(), start + 750);
    session.sendTick();
    QVERIFY(!main->clientspltimer()->isActive());
    at(1500);
    session.sendCode("E12");
    QTRY_VERIFY(main->clientspltimer()->isActive());
    QCOMPARE(main->clientspltimer()->nextTickAt(), start + 2250);
    session.sendTick();

    // Keep-alives tick on their own beat while they are due.
    session.setPulse(true);
    QCOMPARE(main->tmrPulse()->nextTickAt(), start + 2000);
    session.setPulse(false);
    QVERIFY(!main->tmrPulse()->isActive());

    // Two messages arrive: the 4 ms timer runs until both are handled, one per tick.
    session.spoolrequest("E98");
    session.spoolrequest("E99");
    QVERIFY(main->spltimer()->isActive());
    session.dispatchTick();
    QVERIFY(main->spltimer()->isActive());
    session.dispatchTick();
    QVERIFY(!main->spltimer()->isActive());
    // A message received later is handled by the timer itself, within its 4 ms.
    session.spoolrequest("E97");
    QTRY_VERIFY_WITH_TIMEOUT(session.pendingIncoming().isEmpty(), 5000);
    QVERIFY(!main->spltimer()->isActive());
    QVERIFY(client.log().join('\n').contains("unknown Command:E97"));

    // The socket watch runs from an error asking to connect again until it has.
    session.socketError(10054, "reset");
    QCOMPARE(main->socktimer()->nextTickAt(), start + 1750);
    session.socketWatchTick();
    QVERIFY(!main->socktimer()->isActive());
    // The retry wait ticks each second until it is over.
    session.chooseRetry("5");
    QCOMPARE(main->tmrRetrySec()->nextTickAt(), start + 2000);
}

void TestClientWindows::mainWindowControlsAndTimers() {
    Client client;
    client.start("LAN");
    frmMain* main = client.app->mainWindow();
    QVERIFY(main->isVisible());
    QCOMPARE(main->windowTitle(), QString("Skyvane"));
    QCOMPARE(main->lblTitle()->text(), QString("Skyvane 2.3.9018"));
    QCOMPARE(main->lblTitle()->font().family(), QString("Tahoma"));
    QCOMPARE(main->frame1()->title(), QString("File Transfer Status"));
    QCOMPARE(main->frame1()->geometry(), QRect(24, 200, 353, 97));
    QCOMPARE(main->lblTotalBytes()->text(), QString("Total Bytes Expected:"));
    QCOMPARE(main->lblTransfered()->text(), QString("Bytes Transfered:"));
    QCOMPARE(main->lblByteRate()->text(), QString("Transfer Rate (Bytes Per Second):"));
    QCOMPARE(main->cmdCancel()->text(), QString("&Cancel"));
    QCOMPARE(main->cmdMin()->text(), QString("&Minimize"));
    QCOMPARE(main->tmrPulse()->interval(), 1000);
    QCOMPARE(main->spltimer()->interval(), 4);
    QCOMPARE(main->clientspltimer()->interval(), 750);
    QCOMPARE(main->socktimer()->interval(), 250);
    QCOMPARE(main->tmrRetrySec()->interval(), 1000);

    // The progress bar's place: 540,3300 4935x375 twips, left 180 top 300 inside the frame,
    // and nothing of the frame's own in it.
    QCOMPARE(main->progressBarRect(), QRect(36, 220, 329, 25));
    QCOMPARE(main->progressBarRect().translated(-main->frame1()->pos()), QRect(12, 20, 329, 25));
    const QRect inFrame = main->progressBarRect().translated(-main->frame1()->pos());
    for (QWidget* child : main->frame1()->findChildren<QWidget*>())
        QVERIFY2(!child->geometry().intersects(inFrame), qPrintable(child->objectName()));

    main->cmdMin()->click();
    QVERIFY(main->isMinimized());
}

void TestClientWindows::sessionNameFromTheCommandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("sessionName");
    QTest::newRow("none") << QStringList() << "default";
    QTest::newRow("only the blank") << QStringList({" "}) << "default";
    QTest::newRow("a name") << QStringList({"night"}) << "night";
    QTest::newRow("two words") << QStringList({"late", "night"}) << "late night";
}

void TestClientWindows::sessionNameFromTheCommandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, sessionName);
    Client client(arguments);
    client.start("LAN");
    QCOMPARE(sessionValues().sessionName, sessionName);
}

void TestClientWindows::startUpOrderAndSettingsProblems() {
    Client client;
    client.folder.write("debug.log", "from the last run\r\n");
    const int port = freePort();
    client.folder.write("skyvane.ini", ini("LAN", port) + "Retry=soon\r\n");
    QVERIFY(client.app->StartClient());
    QVERIFY(!QFile::exists(client.folder.file("debug.log")));
    QCOMPARE(
        client.log(),
        QStringList({"Initializing Skyvane 2.3.9018.....",
                     "Setting Retry in skyvane.ini is not valid (\"soon\"), using 15",
                     "Detecting Network", "Setting Server to: 127.0.0.1",
                     "Setting Port to: " + QString::number(port), "Connecting to: 127.0.0.1"}));
    QCOMPARE(clientSettings().retry, qint16(15));
}

void TestClientWindows::closeAsksAndNoKeepsTheSession() {
    Client client;
    client.start("LAN", "expect STORE12E01secret\n");
    QVERIFY(client.drive([&] { return client.server.isFinished(); }));
    client.prompter.setYesNoAnswer(Prompter::Answer::No);
    QVERIFY(!client.app->mainWindow()->close());
    QVERIFY(client.app->mainWindow()->isVisible());
    QCOMPARE(client.app->session().socketState(), QAbstractSocket::ConnectedState);
    QVERIFY(!clientFlags().closing);
    QCOMPARE(client.prompter.asked().size(), 1);
    const ScriptedPrompter::Asked asked = client.prompter.asked().first();
    QCOMPARE(asked.title, QString("Stop and Close Skyvane?"));
    QCOMPARE(asked.text, QString("STOP SKYVANE?\r\rAre you sure you want to STOP and CLOSE "
                                 "Skyvane? Your data transmission has not completed yet.\r\r"
                                 "Click No to let Skyvane continue"));
    QCOMPARE(asked.buttons, Prompter::Buttons::YesNo);
}

void TestClientWindows::closeYesEndsTheClient() {
    Client client;
    client.start("LAN", "expect STORE12E01secret\n");
    QVERIFY(client.drive([&] { return client.server.isFinished(); }));
    client.prompter.setYesNoAnswer(Prompter::Answer::Yes);
    QVERIFY(client.app->mainWindow()->close());
    QVERIFY(!client.app->mainWindow());
    QVERIFY(clientFlags().closing);
    QVERIFY(StatusLog::instance().isQuiet());
    QCOMPARE(client.app->session().socketState(), QAbstractSocket::UnconnectedState);
    QVERIFY(client.dialler.hungUp.isEmpty()); // exactly "LAN": nothing to hang up

    const int listed = StatusLog::instance().model()->rowCount();
    client.app->terminate();
    QCOMPARE(client.log().last(), QString("Skyvane Terminated"));
    QCOMPARE(StatusLog::instance().model()->rowCount(), listed);
}

void TestClientWindows::lowerCaseLanHangsUpWhenClosing() {
    Client client;
    client.dialler.hangUpResult = 87;
    client.start("lan");
    QVERIFY(client.dialler.dialled.isEmpty()); // LAN for the network part
    clientFlags().closing = true;
    client.app->unloadMainWindow();
    QVERIFY(!client.app->mainWindow());
    client.app->terminate();
    // ... and dial-up for the close request and terminate.
    QCOMPARE(client.dialler.hungUp.size(), 2);
    QCOMPARE(client.log().count("Error in disconnecting: ERROR_INVALID_PARAMETER"), 2);
}

void TestClientWindows::cancelOnLanKeepsTheSocketAndOffersTheChooser() {
    Client client;
    client.start("LAN", "expect STORE12E01secret\n");
    QVERIFY(client.drive([&] { return client.server.isFinished(); }));
    QVERIFY(!client.app->mainWindow()->cmdCancel()->isEnabled()); // connected

    client.prompter.setYesNoAnswer(Prompter::Answer::No);
    client.app->cancelClicked();
    QVERIFY(!client.app->retryWindow());

    client.prompter.setYesNoAnswer(Prompter::Answer::Yes);
    client.app->cancelClicked();
    QCOMPARE(client.prompter.asked().last().title, QString("Are you sure you want to cancel?"));
    QCOMPARE(client.prompter.asked().last().text,
             QString("Are you sure you want to Cancel, Your data has not been polled yet!"));
    frmRetryIn* chooser = client.app->retryWindow();
    QVERIFY(chooser && chooser->isVisible());
    QCOMPARE(chooser->windowTitle(), QString("Retry In?"));
    QCOMPARE(chooser->lblRetry()->text(), QString("Retry Skyvane Launch In?"));
    QCOMPARE(chooser->cmbMin()->currentText(), QString("5"));
    QStringList items;
    for (int i = 0; i < chooser->cmbMin()->count(); ++i)
        items << chooser->cmbMin()->itemText(i);
    QCOMPARE(items, QStringList({"0", "1", "5", "10", "15", "20"}));
    QCOMPARE(client.app->session().socketState(), QAbstractSocket::ConnectedState);
    QVERIFY(client.dialler.hungUp.isEmpty());
}

void TestClientWindows::chooserZeroEndsTheClient() {
    Client client;
    client.start("LAN");
    client.prompter.setYesNoAnswer(Prompter::Answer::Yes);
    client.app->cancelClicked();
    client.app->retryWindow()->cmbMin()->setCurrentText("0");
    client.app->retryWindow()->cmdOK()->click();
    QVERIFY(clientFlags().closing);
    QVERIFY(!client.app->mainWindow());
    QVERIFY(!client.app->retryWindow());
    QVERIFY(!client.app->noticeWindow());
}

void TestClientWindows::chooserTwentyWaitsThenReconnects() {
    Client client;
    client.start("LAN");
    client.prompter.setYesNoAnswer(Prompter::Answer::Yes);
    client.app->cancelClicked();
    client.app->retryWindow()->cmbMin()->setCurrentText("20");
    client.app->retryWindow()->cmdOK()->click();
    QVERIFY(!client.app->retryWindow());
    QVERIFY(client.app->mainWindow()->isMinimized());
    QCOMPARE(client.log().last(), QString("9:53:13 AM Retry in 20 minutes."));
    QCOMPARE(client.app->session().retrySchedule().waitSeconds(), 1200);

    for (int tick = 0; tick < 1200; ++tick)
        client.app->session().retryTick();
    QCOMPARE(client.log().last(), QString("9:53:13 AM Retry in 20 minutes."));
    client.app->session().retryTick();
    QVERIFY(!client.app->mainWindow()->isMinimized());
    QCOMPARE(client.log().mid(client.log().size() - 4, 2),
             QStringList({"Detecting Network", "Setting Server to: 127.0.0.1"}));
}

void TestClientWindows::emptyConnectionEndsTheClient() {
    Client client;
    client.folder.write("skyvane.ini", "[system]\r\nID=STORE12\r\nServer=127.0.0.1\r\n");
    QVERIFY(client.app->StartClient());
    QVERIFY(!client.app->mainWindow());
    QVERIFY(clientFlags().closing);
    QCOMPARE(client.prompter.asked().size(), 1);
    QCOMPARE(client.prompter.asked().first().text,
             QString("No Connection is specified, please notify your Tabulon Service Provider "
                     "ASAP."));
    const QStringList log = client.log();
    QCOMPARE(log.mid(log.indexOf("Making Connection on: "), 2),
             QStringList({"Making Connection on: ", "No Connection is specified."}));
}

void TestClientWindows::hiddenNoticeComesBackAfterSixtyOneSeconds() {
    Client client;
    client.start("LAN");
    QVERIFY(client.drive([&] { return client.app->session().reconnectTry() == 1; }));
    frmNoServ* notice = client.app->noticeWindow();
    QVERIFY(notice && notice->isVisible());
    QCOMPARE(notice->lblMessage()->text(), QString("MESSAGE FROM SKYVANE"));
    QCOMPARE(notice->retry()->text(), QString("Trying to reconnect, try 1"));
    QVERIFY(notice->message()->text().startsWith("The 127.0.0.1 Server computer was found"));

    notice->cmdHide()->click();
    QVERIFY(!notice->isVisible());
    QVERIFY(client.drive([&] { return client.app->session().reconnectTry() == 2; }));
    QCOMPARE(notice->retry()->text(), QString("Trying to reconnect, try 2"));
    QVERIFY(!notice->isVisible());

    for (int tick = 0; tick < 60; ++tick)
        notice->hideCounterTick();
    QVERIFY(!notice->isVisible());
    notice->hideCounterTick();
    QVERIFY(notice->isVisible());
    QVERIFY(!client.app->noticeState().hidden);
}

void TestClientWindows::majorFailureRestartsTheClient() {
    Client client;
    client.start("LAN", "expect STORE12E01secret\n"
                        "send E07\n"
                        "closed\n"
                        "expect STORE12E01secret\n"
                        "send E011\n"
                        "expect STORE12E022.3.9018\n");
    QPointer<frmMain> first = client.app->mainWindow();
    QVERIFY(client.drive([&] { return client.server.isFinished(); }));
    QVERIFY2(client.server.succeeded(), qPrintable(client.server.error()));
    QCOMPARE(client.server.connectionCount(), 2);
    QVERIFY(client.app->mainWindow());
    QVERIFY(client.app->mainWindow() != first.data());
    QVERIFY(!clientFlags().closing); // the new session can be closed with the question again
    QCOMPARE(client.log().count("Initializing Skyvane 2.3.9018....."), 2);
    QVERIFY(client.log().contains("Major Failure"));
    // The new session shows its lines, and its "if quiet, close" paths ask nobody anything.
    QVERIFY(!StatusLog::instance().isQuiet());
    QVERIFY(StatusLog::instance().model()->stringList().contains("Client Registerd as:STORE12"));
}

void TestClientWindows::sessionEndClosesTheChooserToo() {
    Client client;
    client.start("LAN", "expect STORE12E01secret\n"
                        "send E09\n"
                        "closed\n");
    client.prompter.setYesNoAnswer(Prompter::Answer::Yes);
    client.app->cancelClicked();
    QPointer<frmRetryIn> chooser = client.app->retryWindow();
    QVERIFY(chooser && chooser->isVisible());
    QVERIFY(client.drive([&] { return client.server.isFinished(); }));
    QVERIFY2(client.server.succeeded(), qPrintable(client.server.error()));
    // Nothing is left open that would keep the process from ending.
    QVERIFY(!client.app->mainWindow());
    QVERIFY(!chooser || !chooser->isVisible());
    QVERIFY(!client.app->retryWindow());
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
}

void TestClientWindows::lateCopyOfTwoStartsHandsOverAndEnds() {
#ifdef Q_OS_WIN
    QSKIP("both copies share one thread here; on Windows the channel is a pipe without a buffer, "
          "so the first cannot take the request while the second waits for its answer");
#endif
    Client client;
    client.folder.write("skyvane.ini", ini("LAN", freePort()));
    SingleInstance other(QString::fromLatin1(ClientInstanceName), Paths::programFolder());
    QVERIFY(other.takeLock());
    QVERIFY(other.listen());
    QSignalSpy asked(&other, &SingleInstance::activationRequested);
    ClientApp::Options options;
    options.dialler = &client.dialler;
    options.clock = &client.clock;
    options.runTimers = false;
    ClientApp late(options);
    QVERIFY(!late.StartClient());
    QVERIFY(!late.mainWindow());
    QTRY_COMPARE(asked.count(), 1); // the request waited in the channel
}

QTEST_MAIN(TestClientWindows)
#include "test_clientwindows.moc"
