#include "client/foundation/clock.h"
#include "client/foundation/protocol/socketnotice.h"
#include "client/platform/dialler.h"
#include "client/session/boundedqueue.h"
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
    void dropSummaryIsOneLineAWindow();
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

// A server that keeps the incoming queue full frees a slot every dispatch: one line a window
// says how many were dropped, not one a freed slot.
void TestSessionParts::dropSummaryIsOneLineAWindow() {
    ManualClock clock;
    BoundedQueue queue("incoming");
    queue.setClock(&clock);
    for (int i = 0; i < BoundedQueue::MaxMessages; ++i)
        QVERIFY(queue.enqueue("E00"));
    QStringList lines;
    for (int round = 0; round < 100; ++round) {
        QVERIFY(!queue.enqueue("E00"));
        QVERIFY(!queue.enqueue("E00"));
        queue.dequeue();
        QVERIFY(queue.enqueue("E00"));
        const QString line = queue.takeDropSummary();
        if (!line.isEmpty())
            lines << line;
        if (round == 49)
            clock.advanceSeconds(BoundedQueue::SummaryWindowMs / 1000);
    }
    QCOMPARE(lines, QStringList({"Dropped 2 incoming messages: the queue was full",
                                 "Dropped 100 incoming messages: the queue was full"}));
    QVERIFY(!queue.enqueue("E00"));
    QCOMPARE(queue.takeDropSummary(), QString());
    QCOMPARE(queue.takeAllDrops(), QString("Dropped 99 incoming messages: the queue was full"));
}

QTEST_GUILESS_MAIN(TestSessionParts)
#include "test_sessionparts.moc"
