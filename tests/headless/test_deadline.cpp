// vanelet's bound on a line that stopped carrying anything, on a real dead line: the test runs in
// a network namespace of its own, the store side in a second one, joined by a veth pair whose
// office end is switched off to cut the line (packets then vanish without a word, as on a dead
// modem line). Needs root on Linux; elsewhere only the setting of the bound is checked.
#include "client/foundation/paths.h"
#include "headless/linebound.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testdata.h"
#include "tools/sessionserver/sessionserver.h"

#include <QHostAddress>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>
#endif

namespace {
constexpr int BoundSeconds = 3;
const char* OfficeAddress = "10.78.0.1";

bool sh(const QStringList& command) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(command.first(), command.mid(1));
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
} // namespace

class TestDeadLine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void boundIsSetOnALiveConnection();
    void deadLineEndsTheConnectionAtTheBound_data();
    void deadLineEndsTheConnectionAtTheBound();
    void vaneletEndsOnADeadLineWithItsLine();
    void vaneletWaitsOutASilentServer();

private:
    bool needsCut();
    void cutLine();
    // Runs vanelet on the store side against the script; true when it ended by itself.
    bool runVanelet(const QString& script, const std::function<void()>& whileRunning,
                    TempProgramFolder& folder);

    QString m_skip;     // why the cut-line tests cannot run here
    QProcess m_storeNs; // holds the store side's namespace
    SessionServer* m_server = nullptr;
};

void TestDeadLine::initTestCase() {
#ifdef Q_OS_LINUX
    if (geteuid() != 0) {
        m_skip = "cutting a line needs root (network namespaces)";
        return;
    }
    // A namespace of our own: the addresses and the veth pair stay out of the machine's.
    QVERIFY(unshare(CLONE_NEWNET) == 0);
    QVERIFY(sh({"ip", "link", "set", "lo", "up"}));
    m_storeNs.start("unshare", {"--net", "sleep", "3600"});
    QVERIFY(m_storeNs.waitForStarted());
    const auto storeNs = [&] {
        return QFile::symLinkTarget(QString("/proc/%1/ns/net").arg(m_storeNs.processId()));
    };
    QTRY_VERIFY(storeNs() != QFile::symLinkTarget("/proc/self/ns/net"));
#else
    m_skip = "network namespaces are Linux's";
#endif
}

void TestDeadLine::init() {
    const bool overTheLine =
        QTest::currentTestFunction() != QLatin1String("boundIsSetOnALiveConnection");
    if (m_skip.isEmpty() && overTheLine) {
        const QString pid = QString::number(m_storeNs.processId());
        const QStringList store = {"nsenter", "-t", pid, "-n", "ip"};
        QVERIFY(
            sh({"ip", "link", "add", "dlo", "type", "veth", "peer", "name", "dls", "netns", pid}));
        QVERIFY(sh({"ip", "addr", "add", QString(OfficeAddress) + "/24", "dev", "dlo"}));
        QVERIFY(sh({"ip", "link", "set", "dlo", "address", "02:00:00:00:78:01", "up"}));
        QVERIFY(sh(store + QStringList{"addr", "add", "10.78.0.2/24", "dev", "dls"}));
        QVERIFY(
            sh(store + QStringList{"link", "set", "dls", "address", "02:00:00:00:78:02", "up"}));
        QVERIFY(sh(store + QStringList{"link", "set", "lo", "up"}));
        // No address resolution: a cut line stays silent instead of reporting "no route".
        QVERIFY(sh({"ip", "neigh", "replace", "10.78.0.2", "lladdr", "02:00:00:00:78:02", "dev",
                    "dlo", "nud", "permanent"}));
        QVERIFY(sh(store + QStringList{"neigh", "replace", OfficeAddress, "lladdr",
                                       "02:00:00:00:78:01", "dev", "dls", "nud", "permanent"}));
    }
}

void TestDeadLine::cleanup() {
    delete m_server;
    m_server = nullptr;
    if (m_skip.isEmpty())
        sh({"ip", "link", "del", "dlo"}); // fails when the test made none
}

void TestDeadLine::cleanupTestCase() {
    m_storeNs.kill();
    m_storeNs.waitForFinished();
}

bool TestDeadLine::needsCut() {
    if (m_skip.isEmpty())
        return true;
    QTest::qSkip(qPrintable(m_skip), __FILE__, __LINE__);
    return false;
}

void TestDeadLine::cutLine() {
    QVERIFY(sh({"ip", "link", "set", "dlo", "down"}));
}

void TestDeadLine::boundIsSetOnALiveConnection() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(client.waitForConnected(5000));
    QString error;
    QVERIFY2(LineBound::set(client.socketDescriptor(), BoundSeconds, true, &error),
             qPrintable(error));
    QVERIFY2(LineBound::set(client.socketDescriptor(), BoundSeconds, false, &error),
             qPrintable(error));
    QVERIFY(!LineBound::set(-1, BoundSeconds, true, &error));
    QVERIFY(!error.isEmpty());
}

void TestDeadLine::deadLineEndsTheConnectionAtTheBound_data() {
    QTest::addColumn<bool>("probes");
    QTest::newRow("idle, probed") << true;
    QTest::newRow("unacknowledged data, probes off") << false;
}

void TestDeadLine::deadLineEndsTheConnectionAtTheBound() {
    if (!needsCut())
        return;
#ifdef Q_OS_LINUX
    QFETCH(bool, probes);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress(OfficeAddress)));
    // The client's socket is made on the store side.
    const int own = open("/proc/self/ns/net", O_RDONLY);
    const int store =
        open(qPrintable(QString("/proc/%1/ns/net").arg(m_storeNs.processId())), O_RDONLY);
    QVERIFY(own >= 0 && store >= 0 && setns(store, CLONE_NEWNET) == 0);
    QTcpSocket client;
    client.connectToHost(QHostAddress(OfficeAddress), server.serverPort());
    QVERIFY(setns(own, CLONE_NEWNET) == 0);
    close(own);
    close(store);
    QVERIFY(client.waitForConnected(5000));
    QVERIFY(LineBound::set(client.socketDescriptor(), BoundSeconds, probes, nullptr));
    QSignalSpy errors(&client, &QAbstractSocket::errorOccurred);

    cutLine();
    if (!probes) {
        // Without probes a silent line is left alone (vanelet's Mission Pack work)...
        QTest::qWait(2 * BoundSeconds * 1000);
        QCOMPARE(client.state(), QAbstractSocket::ConnectedState);
        // ...until data waits for an acknowledgement.
        client.write("E31");
    }
    // The system's own limits would take twenty minutes, or for ever on an idle line.
    QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), 10 * BoundSeconds * 1000);
    QCOMPARE(client.error(), QAbstractSocket::SocketTimeoutError);
#endif
}

bool TestDeadLine::runVanelet(const QString& script, const std::function<void()>& whileRunning,
                              TempProgramFolder& folder) {
    m_server = new SessionServer;
    if (!m_server->listen(0, QHostAddress(OfficeAddress)) || !m_server->setScript(script) ||
        !QFile::copy(TestData::program("vanelet"), folder.file(Paths::executableName("vanelet"))))
        return false;
    folder.write("skyvane.ini",
                 QString("[system]\r\nID=STORE12\r\nPass=secret\r\nConnection=LAN\r\n"
                         "Server=%1\r\nPort=%2\r\n")
                     .arg(OfficeAddress)
                     .arg(m_server->port())
                     .toLatin1());
    m_server->start();
    QProcess vanelet;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SKYVANE_LINE_BOUND_S", QString::number(BoundSeconds));
    vanelet.setProcessEnvironment(environment);
    vanelet.setProcessChannelMode(QProcess::ForwardedChannels);
    vanelet.start("nsenter", {"-t", QString::number(m_storeNs.processId()), "-n", "--",
                              folder.file(Paths::executableName("vanelet")), "-log"});
    if (!vanelet.waitForStarted(10000))
        return false;
    whileRunning();
    QDeadlineTimer deadline(20 * BoundSeconds * 1000);
    while (vanelet.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20);
    if (vanelet.state() != QProcess::NotRunning) {
        vanelet.kill();
        vanelet.waitForFinished();
        return false;
    }
    return vanelet.exitStatus() == QProcess::NormalExit && vanelet.exitCode() == 0;
}

void TestDeadLine::vaneletEndsOnADeadLineWithItsLine() {
    if (!needsCut())
        return;
    TempProgramFolder folder;
    const QString script = "expect STORE12E01secret\n"
                           "send E011\n"
                           "expect STORE12E022.3.9015\n"
                           "timeout 120\n"
                           "closed\n";
    const auto cutOnceRegistered = [&] {
        QTRY_VERIFY_WITH_TIMEOUT(m_server->received().contains("E022.3.9015"), 10000);
        cutLine();
    };
    QVERIFY(runVanelet(script, cutOnceRegistered, folder));
    QCOMPARE(folder.logTexts("vanelet.log").last(),
             QString("The line to the Dockmere carried nothing for %1 seconds; the session is "
                     "lost")
                 .arg(BoundSeconds));
}

void TestDeadLine::vaneletWaitsOutASilentServer() {
    if (!needsCut())
        return;
    TempProgramFolder folder;
    // The server thinks for three times the bound (a Mission Pack being prepared), then ends.
    const QString script = QString("expect STORE12E01secret\n"
                                   "send E011\n"
                                   "expect STORE12E022.3.9015\n"
                                   "pause %1\n"
                                   "send E09\n"
                                   "closed\n")
                               .arg(3 * BoundSeconds * 1000);
    QVERIFY(runVanelet(
        script, [] {}, folder));
    QVERIFY2(m_server->succeeded(), qPrintable(m_server->error()));
    QCOMPARE(folder.logTexts("vanelet.log").last(), QString("Checking Version Compatibility"));
}

QTEST_GUILESS_MAIN(TestDeadLine)
#include "test_deadline.moc"
