#include "setup/setupsettings.h"
#include "tests/support/tempprogramfolder.h"

#include <QtTest>

class TestSetupSettings : public QObject {
    Q_OBJECT
private slots:
    void missingFileGivesDialogDefaults();
    void storedValuesAreShownInTheirForms();
    void textsThatAreNoNumberOrTimeAreShownAsStored();
    void valuesOf99CharactersAreTooLong();
    void writeKeepsValuesMarkedKeep();
};

void TestSetupSettings::missingFileGivesDialogDefaults() {
    TempProgramFolder folder;
    const SetupSettings s = ReadSettings(folder.file("skyvane.ini"));
    QCOMPARE(s.id.shown, QString());
    QCOMPARE(s.pass.shown, QString());
    QCOMPARE(s.connection.shown, QString());
    QCOMPARE(s.server.shown, QString());
    QCOMPARE(s.port.shown, QString("55555"));
    QCOMPARE(s.timeToSend.shown, QString("12:00 AM"));
    QCOMPARE(s.retry.shown, QString("15"));
    QVERIFY(!s.id.tooLong && !s.port.tooLong);
}

void TestSetupSettings::storedValuesAreShownInTheirForms() {
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[System]\r\nid=0042\r\nPASS=Secret Word\r\nConnection=Lan\r\n"
                                "Server=10.0.0.5\r\nPort=00080\r\nTimeToSend=22:05:30\r\n"
                                "Retry=-3\r\n");
    const SetupSettings s = ReadSettings(folder.file("skyvane.ini"));
    QCOMPARE(s.id.shown, QString("0042"));
    QCOMPARE(s.pass.shown, QString("Secret Word"));
    QCOMPARE(s.connection.shown, QString("Lan"));
    QCOMPARE(s.server.shown, QString("10.0.0.5"));
    QCOMPARE(s.port.shown, QString("80"));
    QCOMPARE(s.timeToSend.shown, QString("10:05 PM"));
    QCOMPARE(s.retry.shown, QString("-3"));

    QCOMPARE(timeToSendText("12:00:00 AM"), QString("12:00 AM"));
    QCOMPARE(timeToSendText("12:30 pm"), QString("12:30 PM"));
    QCOMPARE(timeToSendText("9:05 AM"), QString("9:05 AM"));
}

void TestSetupSettings::textsThatAreNoNumberOrTimeAreShownAsStored() {
    QCOMPARE(wholeNumberText("abc", 0, 100), QString("abc"));
    QCOMPARE(wholeNumberText("8080.4", -100000, 100000), QString("8080.4"));
    QCOMPARE(wholeNumberText("40000", -32768, 32767), QString("40000"));
    QCOMPARE(wholeNumberText("", -32768, 32767), QString());
    QCOMPARE(wholeNumberText("32767", -32768, 32767), QString("32767"));
    QCOMPARE(timeToSendText("-1"), QString("-1"));
    QCOMPARE(timeToSendText("after closing"), QString("after closing"));
    QCOMPARE(timeToSendText("25:00"), QString("25:00"));
}

void TestSetupSettings::valuesOf99CharactersAreTooLong() {
    TempProgramFolder folder;
    const QByteArray v98(98, 'a');
    const QByteArray v99(99, 'b');
    const QByteArray v600(600, '7');
    folder.write("skyvane.ini",
                 "[system]\r\nID=" + v98 + "\r\nPass=" + v99 + "\r\nPort=" + v600 + "\r\n");
    const SetupSettings s = ReadSettings(folder.file("skyvane.ini"));
    QCOMPARE(s.id.shown, QString::fromLatin1(v98));
    QVERIFY(!s.id.tooLong);
    QCOMPARE(s.pass.shown, QString());
    QVERIFY(s.pass.tooLong);
    QCOMPARE(s.port.shown, QString());
    QVERIFY(s.port.tooLong);
}

void TestSetupSettings::writeKeepsValuesMarkedKeep() {
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[system]\r\nPass=old\r\n");
    QString error;
    QVERIFY(WriteSettings(folder.file("skyvane.ini"),
                          {{"ID", " 7 ", false}, {"Pass", "", true}, {"Port", "x", false}},
                          &error));
    QCOMPARE(folder.lines("skyvane.ini"),
             QStringList({"[system]", "Pass=old", "ID= 7 ", "Port=x"}));

    QVERIFY(
        !WriteSettings(folder.file("no-such-folder/skyvane.ini"), {{"ID", "1", false}}, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestSetupSettings)
#include "test_setupsettings.moc"
