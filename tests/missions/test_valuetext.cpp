#include "client/missions/valuetext.h"

#include <QtTest>

#include <limits>

class TestValueText : public QObject {
    Q_OBJECT
private slots:
    void doubles_data();
    void doubles();
    void singles_data();
    void singles();
    void currency();
    void decimals_data();
    void decimals();
};

void TestValueText::doubles_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("sum that is not exact") << 0.1 + 0.2 << QByteArray("0.3");
    QTest::newRow("third") << 1.0 / 3 << QByteArray("0.333333333333333");
    QTest::newRow("rounded up") << 2.0 / 3 << QByteArray("0.666666666666667");
    QTest::newRow("negative") << -2.5 << QByteArray("-2.5");
    QTest::newRow("whole") << 1234.0 << QByteArray("1234");
    QTest::newRow("15 digits") << 123456789012345.0 << QByteArray("123456789012345");
    QTest::newRow("16 digits") << 1234567890123456.0 << QByteArray("1.23456789012346E+15");
    QTest::newRow("large") << 1.5e20 << QByteArray("1.5E+20");
    QTest::newRow("ten thousandth") << 0.0001 << QByteArray("0.0001");
    QTest::newRow("small") << 0.00001 << QByteArray("1E-05");
    QTest::newRow("very small") << -1.25e-100 << QByteArray("-1.25E-100");
    QTest::newRow("zero") << 0.0 << QByteArray("0");
    QTest::newRow("negative zero") << -0.0 << QByteArray("0");
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << QByteArray("NaN");
}

void TestValueText::doubles() {
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    QByteArray out("x");
    ValueText::appendDouble(out, value);
    QCOMPARE(out, "x" + text);
}

void TestValueText::singles_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("discount") << 0.15f << QByteArray("0.15");
    QTest::newRow("third") << 1.0f / 3 << QByteArray("0.3333333");
    QTest::newRow("7 digits") << 1234567.0f << QByteArray("1234567");
    QTest::newRow("8 digits") << 12345678.0f << QByteArray("1.234568E+07");
    QTest::newRow("largest") << std::numeric_limits<float>::max() << QByteArray("3.402823E+38");
    QTest::newRow("small") << 0.00002f << QByteArray("2E-05");
}

void TestValueText::singles() {
    QFETCH(float, value);
    QFETCH(QByteArray, text);
    QByteArray out;
    ValueText::appendSingle(out, value);
    QCOMPARE(out, text);
}

void TestValueText::currency() {
    QByteArray out;
    ValueText::appendCurrency(out, 175200);
    out.append(' ');
    ValueText::appendCurrency(out, -5);
    out.append(' ');
    ValueText::appendCurrency(out, std::numeric_limits<qint64>::min());
    QCOMPARE(out, QByteArray("17.52 -0.0005 -922337203685477.5808"));
}

void TestValueText::decimals_data() {
    QTest::addColumn<quint32>("high");
    QTest::addColumn<quint32>("low");
    QTest::addColumn<int>("scale");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("whole") << 0u << 1200u << 0 << false << QByteArray("1200");
    QTest::newRow("trailing zeros go") << 0u << 1200u << 2 << false << QByteArray("12");
    QTest::newRow("below one") << 0u << 5u << 3 << true << QByteArray("-0.005");
    QTest::newRow("negative zero") << 0u << 0u << 4 << true << QByteArray("0");
    // The top word and the low word only: 2^96 + 7.
    QTest::newRow("beyond 64 bits")
        << 1u << 7u << 10 << false << QByteArray("7922816251426433759.3543950343");
}

void TestValueText::decimals() {
    QFETCH(quint32, high);
    QFETCH(quint32, low);
    QFETCH(int, scale);
    QFETCH(bool, negative);
    QFETCH(QByteArray, text);
    const quint32 words[4] = {high, 0, 0, low};
    QByteArray out;
    ValueText::appendDecimal(out, words, scale, negative);
    QCOMPARE(out, text);
    // The largest magnitude, all 39 digits.
    const quint32 all[4] = {~0u, ~0u, ~0u, ~0u};
    out.clear();
    ValueText::appendDecimal(out, all, 38, false);
    QCOMPARE(out, QByteArray("3.40282366920938463463374607431768211455"));
}

QTEST_GUILESS_MAIN(TestValueText)
#include "test_valuetext.moc"
