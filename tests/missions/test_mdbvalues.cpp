#include "client/missions/mdbvalues.h"

#include <QtTest>

// Stored forms the reading library leaves to us.
class TestMdbValues : public QObject {
    Q_OBJECT
private slots:
    void jet4Text_data();
    void jet4Text();
    void extendedDates_data();
    void extendedDates();
};

void TestMdbValues::jet4Text_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("utf8");
    QTest::newRow("two bytes a character") << QByteArray("a\0\xe9\0", 4) << QByteArray("a\xc3\xa9");
    QTest::newRow("pair of surrogates")
        << QByteArray("a\0\x3d\xd8\x00\xde", 6) << QByteArray("a\xf0\x9f\x98\x80");
    QTest::newRow("half a pair, alone or at the end")
        << QByteArray("\x3d\xd8z\0\x00\xde", 6) << QByteArray("?z?");
    // Compressed: a zero byte switches to two bytes a character and back.
    QTest::newRow("compressed") << QByteArray("\xff\xfe"
                                              "ab\0\x3d\xd8\x03\xde\0c",
                                              11)
                                << QByteArray("ab\xf0\x9f\x98\x83"
                                              "c");
    QTest::newRow("odd byte at the end") << QByteArray("a\0b", 3) << QByteArray("a");
}

void TestMdbValues::jet4Text() {
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, utf8);
    QByteArray out;
    Mdb::Stored::appendJet4Text(out, stored.constData(), size_t(stored.size()));
    QCOMPARE(out, utf8);
}

void TestMdbValues::extendedDates_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("when"); // empty: refused
    QTest::addColumn<int>("fraction");
    QTest::newRow("NULs after") << QByteArray("0000000000000737592:0000000459000000005:7\0", 42)
                                << "2020-06-17 12:45:00" << 5;
    QTest::newRow("three digits of a second")
        << QByteArray("0000000000000000001:0000000000000001250:3") << "0001-01-02 00:00:01"
        << 2500000;
    QTest::newRow("after 9999") << QByteArray("0000000000003652059:0000000000000000000:7") << ""
                                << 0;
    QTest::newRow("a day of time")
        << QByteArray("0000000000000000000:0000000864000000000:7") << "" << 0;
    QTest::newRow("twenty digits")
        << QByteArray("00000000000007375920:0000000000000000000:7") << "" << 0;
    QTest::newRow("no precision") << QByteArray("0000000000000737592:0000000000000000000") << ""
                                  << 0;
}

void TestMdbValues::extendedDates() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, when);
    QFETCH(int, fraction);
    Mdb::Stored::ExtendedDate date;
    QCOMPARE(Mdb::Stored::parseExtendedDate(stored.constData(), int(stored.size()), &date),
             !when.isEmpty());
    if (when.isEmpty())
        return;
    QCOMPARE(QDateTime(date.date, date.time).toString("yyyy-MM-dd HH:mm:ss"), when);
    QCOMPARE(date.tenMillionths, fraction);
}

QTEST_GUILESS_MAIN(TestMdbValues)
#include "test_mdbvalues.moc"
