#include "client/platform/dialler.h"
#include "client/platform/nmclidialler.h"
#include "client/session/protocol/socketnotice.h"
#include "client/session/retryschedule.h"

#include <QtTest>

class TestSessionParts : public QObject {
    Q_OBJECT
private slots:
    void waitOfNSecondsEndsOnTickNPlusOne();
    void elevenFailuresUseUpTheRetries();
    void chosenWaitRestartsCountButKeepsElapsedSeconds();
    void longRetryDoesNotOverflow();
    void noticeTable_data();
    void noticeTable();
    void qtErrorsBecomeWindowsNumbers();
    void dialErrorTexts();
    void nmcliExitCodesMapOntoThreeCodes_data();
    void nmcliExitCodesMapOntoThreeCodes();
    void nmcliDialsAndHangsUpOnlyWhatItBroughtUp();
    void nmcliListsDialUpConnections();

private:
    QString fakeNmcli(const QTemporaryDir& dir, int exitCode, const QByteArray& output = {});
};

void TestSessionParts::waitOfNSecondsEndsOnTickNPlusOne() {
    RetrySchedule retry;
    retry.scheduleDialRetry(15);
    QCOMPARE(retry.dialRetryCount(), 1);
    QCOMPARE(retry.waitSeconds(), 900);
    for (int tick = 1; tick <= 900; ++tick)
        QVERIFY2(!retry.tick(), qPrintable(QString::number(tick)));
    QVERIFY(retry.tick());
    QVERIFY(!retry.waiting());
    QCOMPARE(retry.secondsElapsed(), 0);
    QVERIFY(!retry.tick()); // nothing more once the wait is over
}

void TestSessionParts::elevenFailuresUseUpTheRetries() {
    RetrySchedule retry;
    int scheduled = 0;
    for (int failure = 1; failure <= 11; ++failure) {
        if (!retry.canRetry())
            break;
        retry.scheduleDialRetry(15);
        ++scheduled;
    }
    QCOMPARE(scheduled, 10);
    QVERIFY(!retry.canRetry());
}

void TestSessionParts::chosenWaitRestartsCountButKeepsElapsedSeconds() {
    RetrySchedule retry;
    for (int i = 0; i < 10; ++i)
        retry.scheduleDialRetry(1);
    for (int i = 0; i < 30; ++i)
        retry.tick();
    retry.startChosenWait(20);
    QCOMPARE(retry.dialRetryCount(), 0);
    QCOMPARE(retry.waitSeconds(), 1200);
    QCOMPARE(retry.secondsElapsed(), 30);
    QVERIFY(retry.canRetry());
}

void TestSessionParts::longRetryDoesNotOverflow() {
    RetrySchedule retry;
    retry.scheduleDialRetry(600); // beyond what 16-bit seconds could hold
    QCOMPARE(retry.waitSeconds(), 36000);
}

void TestSessionParts::noticeTable_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("reconnect");
    QTest::newRow("refused") << 10061
                             << "The dock1 Server computer was found, but I can't connect to the "
                                "Dockmere. If problems persist please call your Tabulon Service "
                                "Provider."
                             << true;
    const QString down = "The dock1 Server computer may be down. Please wait while I try to "
                         "connect. If problems persist please call your Tabulon Service Provider.";
    QTest::newRow("host not found") << 11001 << down << true;
    QTest::newRow("try again") << 11002 << down << true;
    QTest::newRow("40006") << 40006
                           << "Bad state Check your TCP/IP settings in Network control panel, it "
                              "may not be loaded"
                           << false;
    QTest::newRow("40026") << 40026
                           << "Bad state Check your TCP/IP settings in Network control panel, it "
                              "may not be loaded."
                           << false;
    QTest::newRow("other") << 10060 << "Bad state" << true;
}

void TestSessionParts::noticeTable() {
    QFETCH(int, number);
    QFETCH(QString, message);
    QFETCH(bool, reconnect);
    const SocketNotice::Notice notice = SocketNotice::forError(number, "dock1", "Bad state");
    QCOMPARE(notice.message, message);
    QCOMPARE(notice.reconnect, reconnect);
}

void TestSessionParts::qtErrorsBecomeWindowsNumbers() {
    QCOMPARE(SocketNotice::windowsErrorNumber(QAbstractSocket::ConnectionRefusedError), 10061);
    QCOMPARE(SocketNotice::windowsErrorNumber(QAbstractSocket::HostNotFoundError), 11001);
    QCOMPARE(SocketNotice::windowsErrorNumber(QAbstractSocket::SocketTimeoutError), 10060);
    QCOMPARE(SocketNotice::windowsErrorNumber(QAbstractSocket::OperationError), 40006);
    QCOMPARE(SocketNotice::windowsErrorNumber(QAbstractSocket::UnknownSocketError), 0);
}

void TestSessionParts::dialErrorTexts() {
    QCOMPARE(DialErrorText(668), QString("No Connection"));
    QCOMPARE(DialErrorText(631), QString("No Dial Tone, or User Canceled"));
    QCOMPARE(DialErrorText(87), QString("ERROR_INVALID_PARAMETER"));
    QCOMPARE(DialErrorText(5), QString("<invalid>Connection may be blank"));
}

void TestSessionParts::nmcliExitCodesMapOntoThreeCodes_data() {
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("finished");
    QTest::addColumn<bool>("crashed");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<quint32>("code");
    QTest::newRow("up") << true << true << false << 0 << 0u;
    QTest::newRow("no such connection") << true << true << false << 10 << 87u;
    QTest::newRow("bad arguments") << true << true << false << 2 << 87u;
    QTest::newRow("activation failed") << true << true << false << 4 << 668u;
    QTest::newRow("manager not running") << true << true << false << 8 << 668u;
    QTest::newRow("nmcli timeout") << true << true << false << 3 << 631u;
    QTest::newRow("we gave up waiting") << true << false << false << 0 << 631u;
    QTest::newRow("killed") << true << true << true << 0 << 631u;
    QTest::newRow("no nmcli") << false << false << false << 0 << 668u;
}

void TestSessionParts::nmcliExitCodesMapOntoThreeCodes() {
    QFETCH(bool, started);
    QFETCH(bool, finished);
    QFETCH(bool, crashed);
    QFETCH(int, exitCode);
    QFETCH(quint32, code);
    QCOMPARE(NmcliDialler::codeForRun(
                 started, finished, crashed ? QProcess::CrashExit : QProcess::NormalExit, exitCode),
             code);
}

QString TestSessionParts::fakeNmcli(const QTemporaryDir& dir, int exitCode,
                                    const QByteArray& output) {
    const QString path = dir.filePath("nmcli");
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    QFile out(dir.filePath("output"));
    if (out.open(QIODevice::WriteOnly))
        out.write(output);
    script.write("#!/bin/sh\n"
                 "echo \"$*\" >> \"$(dirname \"$0\")/calls\"\n"
                 "cat \"$(dirname \"$0\")/output\"\n"
                 "exit " +
                 QByteArray::number(exitCode) + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void TestSessionParts::nmcliDialsAndHangsUpOnlyWhatItBroughtUp() {
    QTemporaryDir dir;
    NmcliDialler dialler(fakeNmcli(dir, 0));
    // Nothing dialled: a hang-up must not take any connection down.
    QCOMPARE(dialler.hangUp(0), 87u);
    Dialler::Handle handle = 0;
    QCOMPARE(dialler.dial("Store Modem", &handle), 0u);
    QVERIFY(handle != 0);
    QCOMPARE(dialler.hangUp(handle), 0u);
    QCOMPARE(dialler.hangUp(handle), 87u); // already down
    QFile calls(dir.filePath("calls"));
    QVERIFY(calls.open(QIODevice::ReadOnly));
    QCOMPARE(calls.readAll(), QByteArray("connection up id Store Modem\n"
                                         "connection down id Store Modem\n"));

    QTemporaryDir failing;
    NmcliDialler refused(fakeNmcli(failing, 10));
    handle = 0;
    QCOMPARE(refused.dial("Nowhere", &handle), 87u);
    QCOMPARE(handle, Dialler::Handle(0));
    QCOMPARE(NmcliDialler(dir.filePath("missing-nmcli")).dial("Store Modem", &handle), 668u);
}

void TestSessionParts::nmcliListsDialUpConnections() {
    QTemporaryDir dir;
    NmcliDialler dialler(fakeNmcli(dir, 0,
                                   "Wired connection 1:802-3-ethernet\n"
                                   "Office VPN:vpn\n"
                                   "Mobile\\:2:gsm\n"
                                   "lo:loopback\n"));
    QCOMPARE(dialler.connections(), QStringList({"Office VPN", "Mobile:2"}));
}

QTEST_GUILESS_MAIN(TestSessionParts)
#include "test_sessionparts.moc"
