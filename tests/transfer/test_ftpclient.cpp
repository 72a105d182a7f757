#include "client/transfer/ftpclient.h"
#include "client/transfer/ftpsteps.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/hostsystem.h"
#include "tests/support/testtransferhost.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

const QString StoreUser = QStringLiteral("store");
const QString StorePassword = QStringLiteral("s3cret word");

QByteArray randomBytes(int size, quint32 seed) {
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (char& c : data)
        c = char(gen.bounded(256));
    return data;
}

// Every event of a client in arrival order, as short texts.
class EventLog : public QObject {
public:
    explicit EventLog(FtpClient& ftp) {
        connect(&ftp, &FtpClient::FtpSendingFile, this,
                [this](const QString& f) { events << "sending " + f; });
        connect(&ftp, &FtpClient::FtpReceivingFile, this,
                [this](const QString& f) { events << "receiving " + f; });
        connect(&ftp, &FtpClient::FtpLogText, this, [this](const QString& t) {
            events << "log " + t;
            logLines << t;
        });
        connect(&ftp, &FtpClient::FtpTransferStatus, this,
                [this](qint64 total, qint64 done, qint64) {
                    events << QStringLiteral("status %1/%2").arg(done).arg(total);
                });
        connect(&ftp, &FtpClient::FtpCompleted, this, [this] { events << "completed"; });
        connect(&ftp, &FtpClient::FtpDisconnected, this, [this] { events << "disconnected"; });
    }
    int count(const QString& event) const {
        return int(events.count(event));
    }
    // The events without the protocol lines.
    QStringList outline() const {
        QStringList out;
        for (const QString& e : events)
            if (!e.startsWith(QLatin1String("log ")))
                out << e;
        return out;
    }
    bool logged(const QString& prefix) const {
        for (const QString& line : logLines)
            if (line.startsWith(prefix))
                return true;
        return false;
    }
    QStringList events;
    QStringList logLines;
};

} // namespace

class TestFtpClient : public QObject {
    Q_OBJECT

private:
    void configure(FtpClient& ftp, const FtpServerFixture& server, const QString& user = StoreUser,
                   const QString& password = StorePassword) {
        ftp.setServerAddress(server.address());
        ftp.setUserName(user);
        ftp.setPassword(password);
        ftp.setPort(21);
        ftp.setInactivityLimitMs(10000);
    }
    QString local(const QString& name) const {
        return m_localDir.filePath(name);
    }
    void writeLocal(const QString& name, const QByteArray& content) {
        QFile f(local(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray readLocal(const QString& name) {
        QFile f(local(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    FtpServerFixture m_server;
    QTemporaryDir m_localDir;

private slots:
    void initTestCase() {
        m_server.addUser(StoreUser, StorePassword);
        m_server.addUser(QStringLiteral("reader"), QStringLiteral("r"), true);
        m_server.addUser(QStringLiteral("homed"), QStringLiteral("h"), false,
                         QStringLiteral("/home"));
        m_server.makeFolder(QStringLiteral("store"));
        m_server.makeFolder(QStringLiteral("home"));
        QVERIFY(m_server.start());
    }

    void refusedAndUnreachableLoginsFail() {
        FtpClient ftp;
        EventLog log(ftp);
        configure(ftp, m_server, StoreUser, QStringLiteral("wrong"));
        QCOMPARE(ftp.connectToServer(), 67);
        QCOMPARE(ftp.errorNumber(), 67);
        QVERIFY(!ftp.errorDescription().isEmpty());
        QVERIFY(!ftp.isConnected());

        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 closedPort = closed.serverPort();
        closed.close();
        ftp.setServerAddress(QStringLiteral("127.0.0.1:%1").arg(closedPort));
        ftp.setPassword(StorePassword);
        QCOMPARE(ftp.connectToServer(), 7);
        QVERIFY(!ftp.isConnected());

        // Empty values never reach the server (libcurl would log in as anonymous).
        ftp.setServerAddress(m_server.address());
        ftp.setUserName(QString());
        QCOMPARE(ftp.connectToServer(), int(FtpClient::ErrorLoginDenied));
        ftp.setServerAddress(QString());
        QCOMPARE(ftp.connectToServer(), int(FtpClient::ErrorUrlMalformat));

        QCOMPARE(log.count("disconnected"), 0);
        // A later good login works on the same object.
        configure(ftp, m_server);
        QCOMPARE(ftp.connectToServer(), 0);
        QVERIFY(ftp.isConnected());
    }

    void uploadAndDownloadAreByteExact_data() {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }
    void uploadAndDownloadAreByteExact() {
        QFETCH(bool, passive);
        const QByteArray content = randomBytes(700 * 1024 + 13, passive ? 1 : 2);
        const QString name = passive ? QStringLiteral("p.bin") : QStringLiteral("a.bin");
        writeLocal(name, content);

        FtpClient ftp;
        EventLog log(ftp);
        configure(ftp, m_server);
        QCOMPARE(ftp.connectToServer(), 0);
        ftp.setPassiveMode(passive);
        QCOMPARE(ftp.sendFile(local(name), 0, "\\store\\" + name, false), 0);
        QCOMPARE(m_server.readFile("store/" + name), content);
        QCOMPARE(ftp.receiveFile("\\store\\" + name, 0, local("back-" + name)), 0);
        QCOMPARE(readLocal("back-" + name), content);

        // The description quotes the server's refusal.
        QCOMPARE(ftp.receiveFile(QStringLiteral("\\store\\absent.bin"), 0, local("absent")), 78);
        QVERIFY2(ftp.errorDescription().contains(QStringLiteral("550")),
                 qPrintable(ftp.errorDescription()));

        QVERIFY(log.logged(passive ? "EPSV" : "EPRT"));
        QVERIFY(!log.logged(passive ? "EPRT" : "EPSV"));
        // Both transfers used the login of connect.
        QCOMPARE(log.logLines.filter(QRegularExpression("^USER ")).size(), 1);
    }

    void failedTransfersReportAndKeepFiles() {
        FtpClient ftp;
        configure(ftp, m_server);
        QCOMPARE(ftp.connectToServer(), 0);

        // A missing remote file leaves the local file as it was.
        writeLocal(QStringLiteral("old.zip"), "old content");
        QCOMPARE(ftp.receiveFile(QStringLiteral("store\\nothere.zip"), 0, local("old.zip")), 78);
        QCOMPARE(readLocal(QStringLiteral("old.zip")), QByteArray("old content"));
        QVERIFY(!QFile::exists(local(QStringLiteral("none.zip"))));
        QCOMPARE(ftp.receiveFile(QStringLiteral("store\\nothere.zip"), 0, local("none.zip")), 78);
        QVERIFY(!QFile::exists(local(QStringLiteral("none.zip"))));

        // A missing local file fails before anything is sent; the login stays usable.
        QCOMPARE(ftp.sendFile(local("absent.log"), 0, QStringLiteral("\\store\\x.log"), false),
                 int(FtpClient::ErrorReadLocal));
        QVERIFY(ftp.errorDescription().contains(local("absent.log")));
        QVERIFY(ftp.isConnected());

        // No folder created on the server for an upload.
        writeLocal(QStringLiteral("up.log"), "data");
        QCOMPARE(ftp.sendFile(local("up.log"), 0, QStringLiteral("\\nofolder\\up.log"), false), 9);
        QVERIFY(!m_server.exists(QStringLiteral("nofolder")));
        QCOMPARE(ftp.sendFile(local("up.log"), 0, QStringLiteral("\\store\\up.log"), false), 0);

        // A folder where a file should be written locally.
        QCOMPARE(
            ftp.receiveFile(QStringLiteral("\\store\\up.log"), 0, local("no such folder/up.log")),
            int(FtpClient::ErrorWriteLocal));

        // A read-only account.
        FtpClient reader;
        configure(reader, m_server, QStringLiteral("reader"), QStringLiteral("r"));
        QCOMPARE(reader.connectToServer(), 0);
        QCOMPARE(reader.sendFile(local("up.log"), 0, QStringLiteral("\\store\\ro.log"), false), 25);
        QVERIFY(!m_server.exists(QStringLiteral("store/ro.log")));
    }

    void remotePathsFollowTheSeparatorRules() {
        // This user logs in to /home: a leading separator starts at the root instead.
        FtpClient ftp;
        EventLog log(ftp);
        configure(ftp, m_server, QStringLiteral("homed"), QStringLiteral("h"));
        m_server.makeFolder(QStringLiteral("my store#1"));
        m_server.makeFolder(QStringLiteral("home/sub dir"));
        writeLocal(QStringLiteral("paths.txt"), "paths");
        QCOMPARE(ftp.connectToServer(), 0);

        QCOMPARE(ftp.sendFile(local("paths.txt"), 0, QStringLiteral("\\my store#1\\a #1 100%.txt"),
                              false),
                 0);
        QCOMPARE(m_server.readFile(QStringLiteral("my store#1/a #1 100%.txt")),
                 QByteArray("paths"));
        QCOMPARE(ftp.sendFile(local("paths.txt"), 0, QStringLiteral("sub dir\\b#.txt"), false), 0);
        QCOMPARE(m_server.readFile(QStringLiteral("home/sub dir/b#.txt")), QByteArray("paths"));
        QCOMPARE(ftp.sendFile(local("paths.txt"), 0, QStringLiteral("/top.txt"), false), 0);
        QCOMPARE(m_server.readFile(QStringLiteral("top.txt")), QByteArray("paths"));

        QCOMPARE(ftp.receiveFile(QStringLiteral("sub dir/b#.txt"), 0, local("b.txt")), 0);
        QCOMPARE(readLocal(QStringLiteral("b.txt")), QByteArray("paths"));
        QVERIFY(log.logged("CWD /my store#1"));

        // A path that names no file is refused before anything is sent.
        QCOMPARE(ftp.receiveFile(QStringLiteral("\\store\\"), 0, local("dir")),
                 int(FtpClient::ErrorUrlMalformat));
    }

    void blockingTransferReturnsAfterItsEvents() {
        m_server.writeFile(QStringLiteral("store/pack.zip"), randomBytes(300000, 3));
        FtpClient ftp;
        EventLog log(ftp);
        configure(ftp, m_server);
        ftp.setTransferModeFlag(false);
        QCOMPARE(ftp.connectToServer(), 0);
        log.events.clear();

        QCOMPARE(ftp.receiveFile(QStringLiteral("store\\pack.zip"), 0, local("pack.zip")), 0);
        const QStringList outline = log.outline();
        QCOMPARE(outline.first(), QStringLiteral("receiving store\\pack.zip"));
        QCOMPARE(outline.last(), QStringLiteral("completed"));
        QCOMPARE(outline.at(outline.size() - 2), QStringLiteral("status 300000/300000"));
        QVERIFY(log.logged("RETR pack.zip"));
        QVERIFY(log.events.indexOf("log RETR pack.zip") < log.events.indexOf("completed"));
        QCOMPARE(log.count("disconnected"), 0);
        QVERIFY(ftp.isConnected());
    }

    void nonBlockingTransferReturnsAtOnce() {
        const QByteArray content = randomBytes(400000, 4);
        writeLocal(QStringLiteral("async.bin"), content);
        FtpClient ftp;
        EventLog log(ftp);
        configure(ftp, m_server);
        ftp.setTransferModeFlag(false);
        QCOMPARE(ftp.connectToServer(), 0);
        ftp.setTransferModeFlag(true);
        log.events.clear();

        QCOMPARE(ftp.sendFile(local("async.bin"), 0, QStringLiteral("\\store\\async.bin"), false),
                 0);
        QCOMPARE(log.outline(), QStringList{"sending " + local("async.bin")});
        QTRY_COMPARE_WITH_TIMEOUT(log.count("completed"), 1, 10000);
        QCOMPARE(ftp.errorNumber(), 0);
        QCOMPARE(log.outline().last(), QStringLiteral("completed"));
        QVERIFY(log.outline().contains(QStringLiteral("status 400000/400000")));
        QCOMPARE(m_server.readFile(QStringLiteral("store/async.bin")), content);

        // Another call while a transfer runs is refused; the failure of a running transfer
        // shows in errorNumber() when the completion event fires.
        QCOMPARE(ftp.receiveFile(QStringLiteral("store\\gone.zip"), 0, local("gone.zip")), 0);
        QCOMPARE(ftp.receiveFile(QStringLiteral("store\\x.zip"), 0, local("x.zip")),
                 int(FtpClient::ErrorBusy));
        QTRY_COMPARE_WITH_TIMEOUT(log.count("completed"), 2, 10000);
        QCOMPARE(ftp.errorNumber(), 78);
    }

    void connectedStateFollowsTheConnection() {
        FtpClient ftp;
        EventLog log(ftp);
        configure(ftp, m_server);
        QVERIFY(!ftp.isConnected());
        QCOMPARE(ftp.disconnectFromServer(), 0); // nothing open: no error, no event
        QCOMPARE(ftp.connectToServer(), 0);
        QVERIFY(ftp.isConnected());

        // QUIT uses the open connection, whatever the values say now.
        ftp.setUserName(QStringLiteral("reader"));
        QCOMPARE(ftp.disconnectFromServer(), 0);
        QVERIFY(!ftp.isConnected());
        QCOMPARE(log.logLines.filter(QRegularExpression("^USER ")),
                 QStringList{"USER " + StoreUser});
        QVERIFY(log.logged("QUIT"));
        QVERIFY(log.logged("221"));
        QCOMPARE(log.count("disconnected"), 1);
        QCOMPARE(ftp.disconnectFromServer(), 0);
        QCOMPARE(log.count("disconnected"), 1);

        // The password never shows in the protocol lines.
        QVERIFY(log.logLines.contains(QStringLiteral("PASS ****")));
        for (const QString& line : log.logLines)
            QVERIFY2(!line.contains(QStringLiteral("s3cret")), qPrintable(line));
    }

    void serverSideDropIsNoticed() {
        FtpServerFixture dropping;
        dropping.addUser(StoreUser, StorePassword);
        dropping.setDropAfterLoginMs(600);
        QVERIFY(dropping.start());
        FtpClient ftp;
        EventLog log(ftp);
        configure(ftp, dropping);
        QCOMPARE(ftp.connectToServer(), 0);
        QVERIFY(ftp.isConnected());
        // No call needed: the event comes from the event loop.
        QTRY_COMPARE_WITH_TIMEOUT(log.count("disconnected"), 1, 10000);
        QVERIFY(!ftp.isConnected());
        QCOMPARE(ftp.disconnectFromServer(), 0);
        QCOMPARE(log.count("disconnected"), 1);
    }

    // libcurl 7.88 fails a transfer at once (28) on a cached login that holds an unread
    // "421 timeout"; the client must log in again instead.
    void transferAfterServerTimeoutLogsInAgain_data() {
        QTest::addColumn<bool>("eventsRun");
        QTest::newRow("421 unread") << false;
        QTest::newRow("421 noticed") << true;
    }
    void transferAfterServerTimeoutLogsInAgain() {
        QFETCH(bool, eventsRun);
        FtpServerFixture timingOut;
        timingOut.addUser(StoreUser, StorePassword);
        timingOut.setIdleTimeoutMs(400);
        timingOut.writeFile(QStringLiteral("pack.zip"), "pack");
        QVERIFY(timingOut.start());
        FtpClient ftp;
        EventLog log(ftp);
        configure(ftp, timingOut);
        QCOMPARE(ftp.connectToServer(), 0);
        QCOMPARE(ftp.receiveFile(QStringLiteral("pack.zip"), 0, local("first.zip")), 0);
        if (eventsRun)
            QTRY_COMPARE_WITH_TIMEOUT(log.count("disconnected"), 1, 10000);
        else
            QThread::msleep(1500); // the 421 arrives while nothing reads it
        QCOMPARE(ftp.receiveFile(QStringLiteral("pack.zip"), 0, local("timeout.zip")), 0);
        QCOMPARE(readLocal(QStringLiteral("timeout.zip")), QByteArray("pack"));
        QCOMPARE(log.logLines.filter(QRegularExpression("^USER ")).size(), 2);
        QCOMPARE(log.count("disconnected"), 1);
    }

    // libcurl 7.88 may read the EPSV reply in the same pass that sent EPSV and then never
    // open the data connection; this server sends the reply early to force that case.
    void earlyEpsvReplyDoesNotStall() {
        FtpServerFixture eager;
        eager.addUser(StoreUser, StorePassword);
        eager.setEagerEpsv(true);
        eager.makeFolder(QStringLiteral("store"));
        QVERIFY(eager.start());
        const QByteArray content = randomBytes(50000, 5);
        writeLocal(QStringLiteral("eager.bin"), content);

        for (int round = 0; round < 3; ++round) {
            FtpClient ftp;
            configure(ftp, eager);
            // A stall would end with 28 after this limit instead of hanging the test.
            ftp.setInactivityLimitMs(3000);
            QCOMPARE(ftp.connectToServer(), 0);
            QCOMPARE(ftp.sendFile(local("eager.bin"), 0, QStringLiteral("\\store\\e.bin"), false),
                     0);
            QCOMPARE(ftp.receiveFile(QStringLiteral("\\store\\e.bin"), 0, local("e.bin")), 0);
            QCOMPARE(readLocal(QStringLiteral("e.bin")), content);
            QCOMPARE(ftp.disconnectFromServer(), 0);
        }
    }

    void stalledTransferEndsAtTheInactivityLimit_data() {
        QTest::addColumn<bool>("returnAtOnce");
        QTest::newRow("blocking") << false;
        QTest::newRow("non-blocking") << true;
    }
    void stalledTransferEndsAtTheInactivityLimit() {
        QFETCH(bool, returnAtOnce);
        FtpServerFixture stalling;
        stalling.addUser(StoreUser, StorePassword);
        stalling.setStallDownloadAfter(1000);
        stalling.writeFile(QStringLiteral("pack.zip"), randomBytes(200000, 6));
        QVERIFY(stalling.start());
        FtpClient ftp;
        EventLog log(ftp);
        configure(ftp, stalling);
        ftp.setInactivityLimitMs(400);
        QCOMPARE(ftp.connectToServer(), 0);
        ftp.setTransferModeFlag(returnAtOnce);

        const int result = ftp.receiveFile(QStringLiteral("pack.zip"), 0, local("stall.zip"));
        if (returnAtOnce) {
            QCOMPARE(result, 0);
            QTRY_COMPARE_WITH_TIMEOUT(log.count("disconnected"), 1, 10000);
        }
        QCOMPARE(ftp.errorNumber(), int(FtpClient::ErrorTimedOut));
        QVERIFY(ftp.errorDescription().contains(QStringLiteral("0.4 seconds")));
        const QStringList outline = log.outline();
        QCOMPARE(outline.mid(outline.size() - 2), (QStringList{"completed", "disconnected"}));
        QVERIFY(outline.contains(QStringLiteral("status 1000/200000")));
        QVERIFY(!ftp.isConnected());
        QVERIFY(!QFile::exists(local(QStringLiteral("stall.zip"))));
    }

    // The server's final reply comes late: the line's queue still drains, or the server reads
    // slowly. Waiting for it, the event loop keeps turning (the windowed client's keep-alives
    // and repaints run from it), and bytes the server still takes count as progress: a reader
    // slower than the limit's worth of buffered bytes is not given up.
    void finalReplyWaitKeepsTheEventLoopTurning_data() {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("slowReader");
        QTest::newRow("plain, reply held") << false << false;
        QTest::newRow("TLS, reply held") << true << false;
        QTest::newRow("plain, slow reader") << false << true;
    }
    void finalReplyWaitKeepsTheEventLoopTurning() {
        QFETCH(bool, tls);
        QFETCH(bool, slowReader);
        if (tls && HostSystem::underWine())
            QSKIP("Schannel: libcurl ends a TLS upload itself, and wine tells no acknowledged "
                  "count to wait for first");
        if (slowReader && HostSystem::underWine())
            QSKIP("wine tells no acknowledged count: a slow reader looks stalled there");
        const int holdMs = slowReader ? 0 : 2000;
        FtpServerFixture late;
        late.addUser(StoreUser, StorePassword);
        late.makeFolder(QStringLiteral("store"));
        late.setHoldFinalReplyMs(holdMs);
        if (slowReader)
            late.setReadLimit(500000);
        if (tls)
            late.setTls(FtpServerFixture::Tls::OwnCa);
        QVERIFY(late.start());
        const QByteArray content = randomBytes(slowReader ? 4000000 : 300000, 8);
        writeLocal(QStringLiteral("late.bin"), content);
        FtpClient ftp;
        configure(ftp, late);
        ftp.setTls(tls);
        ftp.setCaFile(late.caFile());
        if (slowReader)
            ftp.setInactivityLimitMs(3000);
        QCOMPARE(ftp.connectToServer(), 0);

        QTimer ticker;
        ticker.setInterval(50);
        QElapsedTimer sinceTick;
        qint64 longestGapMs = 0;
        connect(&ticker, &QTimer::timeout, &ticker,
                [&] { longestGapMs = qMax(longestGapMs, sinceTick.restart()); });
        QElapsedTimer took;
        took.start();
        sinceTick.start();
        ticker.start();
        QVERIFY2(ftp.sendFile(local("late.bin"), 0, QStringLiteral("\\store\\late.bin"), false) ==
                     0,
                 qPrintable(ftp.errorDescription()));
        ticker.stop();
        longestGapMs = qMax(longestGapMs, sinceTick.elapsed());
        QVERIFY(took.elapsed() >= holdMs - 100);
        QVERIFY2(longestGapMs < 1000, qPrintable(QString::number(longestGapMs)));
        QCOMPARE(late.readFile(QStringLiteral("store/late.bin")), content);
    }

    // A server that stops taking an upload: it ends within the limit, although every byte went
    // into the sockets' buffers.
    void uploadNoLongerTakenEndsAtTheInactivityLimit() {
        FtpServerFixture stalling;
        stalling.addUser(StoreUser, StorePassword);
        stalling.setStallUploadAfter(64 * 1024);
        QVERIFY(stalling.start());
        writeLocal(QStringLiteral("stuck.bin"), randomBytes(1000000, 9));
        FtpClient ftp;
        configure(ftp, stalling);
        ftp.setInactivityLimitMs(400);
        QCOMPARE(ftp.connectToServer(), 0);
        QCOMPARE(ftp.sendFile(local("stuck.bin"), 0, QStringLiteral("stuck.bin"), false),
                 int(FtpClient::ErrorTimedOut));
        QVERIFY(ftp.errorDescription().contains(QStringLiteral("0.4 seconds")));
        QVERIFY(!ftp.isConnected());
    }

    void abortFlagEndsTheTransfer() {
        FtpServerFixture stalling;
        stalling.addUser(StoreUser, StorePassword);
        stalling.setStallDownloadAfter(1000);
        stalling.writeFile(QStringLiteral("pack.zip"), randomBytes(200000, 7));
        QVERIFY(stalling.start());
        FtpClient ftp;
        EventLog log(ftp);
        configure(ftp, stalling);
        QCOMPARE(ftp.connectToServer(), 0);
        // The window sets the flag from an event while the blocking call waits.
        connect(&ftp, &FtpClient::FtpTransferStatus, &ftp, [&ftp] { ftp.setAbort(true); });

        QCOMPARE(ftp.receiveFile(QStringLiteral("pack.zip"), 0, local("abort.zip")),
                 int(FtpClient::ErrorAborted));
        QCOMPARE(log.count("completed"), 1);
        QVERIFY(!ftp.isConnected());
        QVERIFY(!QFile::exists(local(QStringLiteral("abort.zip"))));

        // While the flag stays set nothing starts.
        QCOMPARE(ftp.connectToServer(), int(FtpClient::ErrorAborted));
        ftp.setAbort(false);
        QCOMPARE(ftp.connectToServer(), 0);
    }

    // The headless client retries a refused passive transfer in active mode.
    void refusedPassiveModeFailsAndActiveModeWorks() {
        FtpServerFixture noPassive;
        noPassive.addUser(StoreUser, StorePassword);
        noPassive.setRefusePassive(true);
        noPassive.makeFolder(QStringLiteral("store"));
        QVERIFY(noPassive.start());
        writeLocal(QStringLiteral("mp.zip"), "mission pack in");
        FtpClient ftp;
        configure(ftp, noPassive);
        QCOMPARE(ftp.connectToServer(), 0);
        ftp.setPassiveMode(true);
        QCOMPARE(ftp.sendFile(local("mp.zip"), 0, QStringLiteral("\\store\\mp.zip"), false), 13);
        ftp.setPassiveMode(false);
        QCOMPARE(ftp.sendFile(local("mp.zip"), 0, QStringLiteral("\\store\\mp.zip"), false), 0);
        QCOMPARE(noPassive.readFile(QStringLiteral("store/mp.zip")), QByteArray("mission pack in"));
    }

    // The headless client's active-mode second try is for a passive data connection that never
    // came; once the server has begun taking the file, another try would send it all again.
    void activeModeTriesOnlyWhatPassiveModeNeverBegan() {
        writeLocal(QStringLiteral("cut.zip"), randomBytes(1000000, 10));
        FtpServerFixture cutting;
        cutting.addUser(StoreUser, StorePassword);
        const QString cut = QStringLiteral("426 Connection closed; transfer aborted.");
        cutting.setCutTransfers(64 * 1024, cut);
        QVERIFY(cutting.start());
        FtpServerFixture noPassive;
        noPassive.addUser(StoreUser, StorePassword);
        noPassive.setRefusePassive(true);
        QVERIFY(noPassive.start());

        for (FtpServerFixture* server : {&cutting, &noPassive}) {
            TestTransferHost host(m_localDir.path(), TestTransferHost::headless());
            EventLog log(host.ftp());
            configure(host.ftp(), *server);
            QCOMPARE(host.ftp().connectToServer(), 0);
            const int error = FtpSteps::send(host, local("cut.zip"), QStringLiteral("cut.zip"));
            const int stors = log.logLines.filter(QRegularExpression("^STOR ")).size();
            if (server == &cutting) {
                QVERIFY(error != 0);
                QCOMPARE(stors, 1);
                QVERIFY(host.lines.isEmpty());
                QVERIFY2(host.ftp().errorDescription().endsWith(": " + cut),
                         qPrintable(host.ftp().errorDescription()));
            } else {
                QCOMPARE(error, 0);
                QCOMPARE(stors, 1);
                QCOMPARE(host.lines.size(), 1);
                QVERIFY2(host.lines[0].startsWith("Passive mode failed, trying active mode: ") &&
                             host.lines[0].contains("502"),
                         qPrintable(host.lines[0]));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestFtpClient)
#include "test_ftpclient.moc"
