#include "client/foundation/ansitext.h"
#include "client/foundation/conversions.h"
#include "client/foundation/datetext.h"

#include <QtTest>

class TestConversions : public QObject {
    Q_OBJECT
private slots:
    void booleans();
    void integers();
    void failedConversionLeavesValue();
    void dateAndTimeText();
    void dateValue();
    void parseDates();
    void parseTimes();
    void ansiFromUtf8();
};

void TestConversions::booleans() {
    bool b = false;
    QVERIFY(Convert::toBoolean("True", &b) && b);
    QVERIFY(Convert::toBoolean(" FALSE ", &b) && !b);
    QVERIFY(Convert::toBoolean("-1", &b) && b);
    QVERIFY(Convert::toBoolean("0", &b) && !b);
    QVERIFY(!Convert::toBoolean("maybe", &b));
    QVERIFY(!Convert::toBoolean("", &b));
}

void TestConversions::integers() {
    qint32 i = 0;
    QVERIFY(Convert::toInt32(" 55555 ", &i) && i == 55555);
    QVERIFY(Convert::toInt32("-2147483648", &i) && i == -2147483647 - 1);
    QVERIFY(!Convert::toInt32("2147483648", &i));
    QVERIFY(!Convert::toInt32("abc", &i));
    QVERIFY(!Convert::toInt32("12abc", &i));
    QVERIFY(!Convert::toInt32("", &i));
    // Decimals round half to even.
    QVERIFY(Convert::toInt32("2.5", &i) && i == 2);
    QVERIFY(Convert::toInt32("3.5", &i) && i == 4);
    qint16 s = 0;
    QVERIFY(Convert::toInt16("32767", &s) && s == 32767);
    QVERIFY(Convert::toInt16("-32768", &s) && s == -32768);
    QVERIFY(!Convert::toInt16("32768", &s));
    QVERIFY(!Convert::toInt16("40000", &s));
}

void TestConversions::failedConversionLeavesValue() {
    qint32 i = 7;
    qint16 s = 8;
    bool b = true;
    QVERIFY(!Convert::toInt32("x", &i));
    QVERIFY(!Convert::toInt16("x", &s));
    QVERIFY(!Convert::toBoolean("x", &b));
    QCOMPARE(i, 7);
    QCOMPARE(s, qint16(8));
    QCOMPARE(b, true);
}

void TestConversions::dateAndTimeText() {
    QCOMPARE(DateText::shortDate(QDate(2026, 12, 6)), QString("12/6/2026"));
    QCOMPARE(DateText::shortDate(QDate(2027, 1, 5)), QString("1/5/2027"));
    QCOMPARE(DateText::longTime(QTime(9, 53, 13)), QString("9:53:13 AM"));
    QCOMPARE(DateText::longTime(QTime(0, 0, 0)), QString("12:00:00 AM"));
    QCOMPARE(DateText::longTime(QTime(12, 5, 0)), QString("12:05:00 PM"));
    QCOMPARE(DateText::longTime(QTime(23, 59, 59)), QString("11:59:59 PM"));
    QCOMPARE(DateText::logLine(QDateTime(QDate(2026, 12, 6), QTime(9, 53, 13)), "FTP Disconnected"),
             QString("12/6/2026 9:53:13 AM :FTP Disconnected"));
    QCOMPARE(DateText::hourMinute(QTime(22, 15, 40)), QString("10:15 PM"));
    QCOMPARE(DateText::hourMinute(QTime(0, 5)), QString("12:05 AM"));
}

void TestConversions::dateValue() {
    QCOMPARE(DateText::dateValue(QDateTime(QDate(1995, 1, 1), QTime(0, 0))), QString("1/1/1995"));
    QCOMPARE(DateText::dateValue(QDateTime(QDate(1995, 1, 1), QTime(13, 2, 3))),
             QString("1/1/1995 1:02:03 PM"));
    QCOMPARE(DateText::dateValue(QDateTime(QDate(1899, 12, 30), QTime(8, 0))),
             QString("8:00:00 AM"));
}

void TestConversions::parseDates() {
    QDateTime d;
    QVERIFY(DateText::parseDateTime("12/6/2026", &d));
    QCOMPARE(d, QDateTime(QDate(2026, 12, 6), QTime(0, 0)));
    QVERIFY(DateText::parseDateTime("1/2/95 9:53:13 PM", &d));
    QCOMPARE(d, QDateTime(QDate(1995, 1, 2), QTime(21, 53, 13)));
    QVERIFY(DateText::parseDateTime("2026-03-04 10:00", &d));
    QCOMPARE(d, QDateTime(QDate(2026, 3, 4), QTime(10, 0)));
    QVERIFY(DateText::parseDateTime("7:30 AM", &d));
    QCOMPARE(d, QDateTime(QDate(1899, 12, 30), QTime(7, 30)));
    const QDateTime before = d;
    QVERIFY(!DateText::parseDateTime("2/30/2026", &d));
    QVERIFY(!DateText::parseDateTime("yesterday", &d));
    QVERIFY(!DateText::parseDateTime("", &d));
    QCOMPARE(d, before);
    // What is written is read back.
    const QDateTime value(QDate(2026, 12, 6), QTime(21, 53, 13));
    QVERIFY(DateText::parseDateTime(DateText::dateValue(value), &d));
    QCOMPARE(d, value);
}

void TestConversions::parseTimes() {
    QTime t;
    QVERIFY(DateText::parseTimeOfDay("12:00:00 AM", &t));
    QCOMPARE(t, QTime(0, 0));
    QVERIFY(DateText::parseTimeOfDay("12:30 pm", &t));
    QCOMPARE(t, QTime(12, 30));
    QVERIFY(DateText::parseTimeOfDay("23:15", &t));
    QCOMPARE(t, QTime(23, 15));
    QVERIFY(DateText::parseTimeOfDay("1/1/2000 6:45:00 PM", &t));
    QCOMPARE(t, QTime(18, 45));
    QVERIFY(!DateText::parseTimeOfDay("noon", &t));
    QVERIFY(!DateText::parseTimeOfDay("13:00 PM", &t));
    QVERIFY(!DateText::parseTimeOfDay("24:00", &t));
    QVERIFY(!DateText::parseTimeOfDay("-1", &t));
}

// The quick way from UTF-8 gives the bytes of the long way through QString, broken input
// (overlong forms, surrogates, cut sequences, bytes that never start one) included.
void TestConversions::ansiFromUtf8() {
    const QByteArray cases[] = {
        "plain ASCII\t1",
        "M\xc3\xa8re Paillarde, Qu\xc3\xa9\x62\x65\x63 \xc3\xbf",
        "\xe2\x82\xac \xc5\x93 \xc2\x81 \xc2\x9d \xe4\xb8\xad \xf0\x9f\x98\x80 \xef\xbb\xbf end",
        "overlong \xc0\xaf \xe0\x80\xaf, surrogate \xed\xa0\x80, beyond \xf4\x90\x80\x80 \xf5\x80",
        "lone \x80 and cut \xe2\x82",
        "cut at the end \xf0\x9f\x98",
        "\xef\xbb\xbfleading mark \xc3\xa9",
    };
    for (const QByteArray& utf8 : cases) {
        QByteArray out = "before|";
        AnsiText::appendFromUtf8(out, utf8);
        QCOMPARE(out, "before|" + AnsiText::encode(QString::fromUtf8(utf8)));
    }
}

QTEST_GUILESS_MAIN(TestConversions)
#include "test_conversions.moc"
