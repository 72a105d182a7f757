#include "setup/setupsettings.h"
#include "tests/support/tempprogramfolder.h"

#include <QtTest>

class TestSetupSettings : public QObject {
    Q_OBJECT
private slots:
    void storedValuesAreShownInTheirForms();
    void valuesOf99CharactersAreTooLong();
};

void TestSetupSettings::storedValuesAreShownInTheirForms() {
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[System]\r\nid=0042\r\nConnection=Lan\r\nPort=00080\r\n"
                                "TimeToSend=22:05:30\r\nRetry=-3\r\n");
    const SetupSettings s = ReadSettings(folder.file("skyvane.ini"));
    QCOMPARE(s.id.shown, QString("0042"));
    QCOMPARE(s.connection.shown, QString("Lan"));
    QCOMPARE(s.port.shown, QString("80"));
    QCOMPARE(s.timeToSend.shown, QString("10:05 PM"));
    QCOMPARE(s.retry.shown, QString("-3"));

    QCOMPARE(timeToSendText("12:00:00 AM"), QString("12:00 AM"));
    QCOMPARE(timeToSendText("12:30 pm"), QString("12:30 PM"));
    // What is not a number or a time is shown as it is stored, so a Save loses nothing.
    QCOMPARE(timeToSendText("-1"), QString("-1"));
    QCOMPARE(timeToSendText("25:00"), QString("25:00"));
    QCOMPARE(wholeNumberText("abc", 0, 100), QString("abc"));
    QCOMPARE(wholeNumberText("8080.4", 0, 100000), QString("8080.4"));
    QCOMPARE(wholeNumberText("40000", -32768, 32767), QString("40000"));
    QCOMPARE(wholeNumberText("32767", -32768, 32767), QString("32767"));
}

void TestSetupSettings::valuesOf99CharactersAreTooLong() {
    TempProgramFolder folder;
    const QByteArray v98(98, 'a');
    folder.write("skyvane.ini", "[system]\r\nID=" + v98 + "\r\nPass=" + QByteArray(99, 'b') +
                                    "\r\nPort=" + QByteArray(600, '7') + "\r\n");
    const SetupSettings s = ReadSettings(folder.file("skyvane.ini"));
    QCOMPARE(s.id.shown, QString::fromLatin1(v98));
    QVERIFY(!s.id.tooLong);
    QCOMPARE(s.pass.shown, QString());
    QVERIFY(s.pass.tooLong);
    QCOMPARE(s.port.shown, QString());
    QVERIFY(s.port.tooLong);
}

QTEST_GUILESS_MAIN(TestSetupSettings)
#include "test_setupsettings.moc"
