#include "client/foundation/clock.h"
#include "client/transfer/stallwatch.h"

#include <QtTest>

namespace {
constexpr qint64 LimitMs = 120 * 1000;
} // namespace

class TestStallWatch : public QObject {
    Q_OBJECT

private slots:
    // A dial-up line with a deep queue: libcurl hands over its last byte at 10 s, and the line
    // goes on taking the queued bytes for 200 s more, longer than the limit.
    void lineStillTakingBytesIsNoStall() {
        ManualClock clock;
        StallWatch watch(clock, LimitMs);
        for (int second = 1; second <= 10; ++second) {
            clock.advanceSeconds(1);
            watch.noteMoved(second * 60000);
            watch.noteAcknowledged(second * 6000);
        }
        for (int second = 10; second < 210; second += 5) {
            clock.advanceSeconds(5);
            watch.noteMoved(600000);
            watch.noteAcknowledged(second * 6000);
            QVERIFY2(!watch.stalled(), qPrintable(QString::number(second)));
        }
        // The line stops taking anything: the limit runs from the last byte it took.
        clock.advanceSeconds(119);
        watch.noteAcknowledged(205 * 6000);
        QVERIFY(!watch.stalled());
        clock.advanceSeconds(1);
        QVERIFY(watch.stalled());
    }

    // Where the system gives no count, libcurl's bytes and the protocol lines are all there is.
    void withoutACountTheLastByteAndLineCount() {
        ManualClock clock;
        StallWatch watch(clock, LimitMs);
        clock.advanceSeconds(100);
        watch.noteActivity();
        clock.advanceSeconds(100);
        watch.noteMoved(5000);
        clock.advanceSeconds(119);
        watch.noteMoved(5000);
        watch.noteAcknowledged(-1);
        QVERIFY(!watch.stalled());
        clock.advanceSeconds(1);
        QVERIFY(watch.stalled());
    }

    // An estimate that dips and comes back to where it was took nothing new.
    void countComingBackIsNoProgress() {
        ManualClock clock;
        StallWatch watch(clock, LimitMs);
        watch.noteAcknowledged(5000);
        clock.advanceSeconds(60);
        watch.noteAcknowledged(4000);
        clock.advanceSeconds(60);
        watch.noteAcknowledged(5000);
        QVERIFY(watch.stalled());
    }
};

QTEST_GUILESS_MAIN(TestStallWatch)
#include "test_stallwatch.moc"
