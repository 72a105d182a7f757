#include "client/foundation/clock.h"
#include "client/foundation/protocol/unknowncommands.h"
#include "client/foundation/protocol/wireformat.h"

#include <QtTest>

class TestWireFormat : public QObject {
    Q_OBJECT
private slots:
    void frameAddsTheTerminator();
    void twoMessagesInOneArrival();
    void messageSplitAnywhereArrivesWhole_data();
    void messageSplitAnywhereArrivesWhole();
    void messageOfExactlyTheLimitIsKept();
    void overLongRunIsDroppedToItsTerminator();
    void overLongCompleteMessageIsDropped();
    void emptyMessageAndEightBitText();
    void resetForgetsThePartialMessage();
    void unknownCommandsHaveABudgetPerWindow();
};

void TestWireFormat::frameAddsTheTerminator() {
    QCOMPARE(Wire::frame("STORE12E022.3.9018"), QByteArray("STORE12E022.3.9018\x08"));
    QCOMPARE(Wire::frame(QString()), QByteArray("\x08"));
}

void TestWireFormat::twoMessagesInOneArrival() {
    WireFramer framer;
    QCOMPARE(framer.feed("E20ftpuser\x08"
                         "E21secret\x08"),
             QStringList({"E20ftpuser", "E21secret"}));
    QCOMPARE(framer.keptBytes(), 0);
    QVERIFY(framer.takeProblems().isEmpty());
}

void TestWireFormat::messageSplitAnywhereArrivesWhole_data() {
    QTest::addColumn<int>("cut");
    const QByteArray stream = "E20ftpuser\x08"
                              "E21secret\x08";
    for (int cut = 0; cut <= stream.size(); ++cut)
        QTest::addRow("cut at %d", cut) << cut;
}

void TestWireFormat::messageSplitAnywhereArrivesWhole() {
    QFETCH(int, cut);
    const QByteArray stream = "E20ftpuser\x08"
                              "E21secret\x08";
    WireFramer framer;
    QStringList messages = framer.feed(stream.left(cut));
    messages += framer.feed(stream.mid(cut));
    QCOMPARE(messages, QStringList({"E20ftpuser", "E21secret"}));
    QCOMPARE(framer.keptBytes(), 0);
}

void TestWireFormat::messageOfExactlyTheLimitIsKept() {
    WireFramer framer;
    const QByteArray body(Wire::MaxMessageBytes, 'a');
    QVERIFY(framer.feed(body.left(1000)).isEmpty());
    const QStringList messages = framer.feed(body.mid(1000) + '\x08');
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().size(), Wire::MaxMessageBytes);
    QVERIFY(framer.takeProblems().isEmpty());
}

void TestWireFormat::overLongRunIsDroppedToItsTerminator() {
    WireFramer framer;
    // A server that never ends its message: the client keeps no more than the limit.
    for (int i = 0; i < 20; ++i) {
        QVERIFY(framer.feed(QByteArray(10000, 'x')).isEmpty());
        QVERIFY(framer.keptBytes() <= Wire::MaxMessageBytes);
    }
    QCOMPARE(framer.takeProblems(),
             QStringList({"Dropped an incoming message longer than 65536 bytes"}));
    // The rest of the over-long message is not taken for a message of its own.
    QCOMPARE(framer.feed("tail of it\x08"
                         "E02\x08"),
             QStringList({"E02"}));
    QVERIFY(framer.takeProblems().isEmpty());
}

void TestWireFormat::overLongCompleteMessageIsDropped() {
    WireFramer framer;
    const QByteArray longMessage = "E30" + QByteArray(Wire::MaxMessageBytes, 'p') + '\x08';
    QCOMPARE(framer.feed("E00\x08" + longMessage + "E09\x08"), QStringList({"E00", "E09"}));
    QCOMPARE(framer.takeProblems().size(), 1);
}

void TestWireFormat::emptyMessageAndEightBitText() {
    WireFramer framer;
    QCOMPARE(framer.feed("\x08"
                         "E20Caf\xe9\x08"),
             QStringList({"", QString::fromUtf8("E20Caf\u00e9")}));
    // Every byte a file or the server may hold goes out again as it came.
    QByteArray high;
    for (int b = 0x80; b <= 0xff; ++b)
        high += char(b);
    const QStringList got = framer.feed("E21" + high + "\x08");
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].size(), 3 + 128);
    QCOMPARE(Wire::frame(got[0]), "E21" + high + "\x08");
    QCOMPARE(Wire::frame(QString::fromUtf8("E21\u4e2d")), QByteArray("E21?\x08"));
}

void TestWireFormat::resetForgetsThePartialMessage() {
    WireFramer framer;
    QVERIFY(framer.feed("E20from the old conn").isEmpty());
    framer.reset();
    QCOMPARE(framer.feed("E011\x08"), QStringList({"E011"}));
}

// Known commands between the junk (the clients only ask for unknown ones) open nothing again:
// ten lines a window, the rest said as one count once the window is over.
void TestWireFormat::unknownCommandsHaveABudgetPerWindow() {
    ManualClock clock;
    UnknownCommands unknown(&clock);
    QString summary;
    int reported = 0;
    for (int i = 0; i < 1000; ++i) {
        reported += unknown.admit(&summary) ? 1 : 0;
        QVERIFY(summary.isEmpty());
        if (i % 100 == 99)
            clock.advanceSeconds(30);
    }
    QCOMPARE(reported, UnknownCommands::ReportedPerWindow);
    clock.advanceSeconds(UnknownCommands::WindowMs / 1000);
    QVERIFY(unknown.admit(&summary));
    QCOMPARE(summary, QString("Ignored 990 more unknown commands"));
    for (int i = 0; i < 20; ++i)
        unknown.admit(&summary);
    QCOMPARE(unknown.end(), QString("Ignored 11 more unknown commands"));
    QCOMPARE(unknown.end(), QString());
}

QTEST_APPLESS_MAIN(TestWireFormat)
#include "test_wireformat.moc"
