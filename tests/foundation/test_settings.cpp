#include "client/foundation/settings.h"
#include "tests/support/tempprogramfolder.h"

#include <QtTest>

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void missingFileGivesDefaults();
    void everyKeyIsRead();
    void missingKeysGiveTheirDefaults();
    void valueIsCutAt499();
    void connectionIsKeptAsWritten();
    void badValueFallsBackAndNamesTheKey_data();
    void badValueFallsBackAndNamesTheKey();
    void ftpTlsKeys_data();
    void ftpTlsKeys();
};

void TestSettings::missingFileGivesDefaults() {
    TempProgramFolder folder;
    ClientSettings s;
    s.siteId = "stale";
    QStringList problems;
    LoadSettings(folder.file("skyvane.ini"), &s, &problems);
    QVERIFY(problems.isEmpty());
    QCOMPARE(s.siteId, QString());
    QCOMPARE(s.sitePassword, QString());
    QCOMPARE(s.connection, QString());
    QCOMPARE(s.server, QString());
    QCOMPARE(s.port, 55555);
    QCOMPARE(s.passiveMode, true);
    QCOMPARE(s.defaultNumDaysToReProcess, qint16(3));
    QCOMPARE(s.timeToSend, QTime(0, 0));
    QCOMPARE(s.retry, qint16(15));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(s.posPaths[i], QString());
    QCOMPARE(s.posPaths[4], QString("c:\\qreports"));
}

void TestSettings::everyKeyIsRead() {
    TempProgramFolder folder;
    folder.write("skyvane.ini",
                 "[System]\r\nid = 1234\r\nPass=secret\r\nConnection=Store Dialup\r\n"
                 "Server=dock.example\r\nPort=6000\r\nPassiveMode=False\r\n"
                 "DefaultNumDaysToReProcess=7\r\nTimeToSend=10:15:00 PM\r\n"
                 "Retry=5\r\n[tabulon]\r\nPOSdrvrPath=c:\\pos\r\nDBFPath=c:\\pos\\"
                 "data\r\nALTDBFPath=d:\\alt\r\n[QREPORTS]\r\nQReportsPath=e:\\q\r\n");
    ClientSettings s;
    QStringList problems;
    LoadSettings(folder.file("skyvane.ini"), &s, &problems);
    QVERIFY(problems.isEmpty());
    QCOMPARE(s.siteId, QString("1234"));
    QCOMPARE(s.sitePassword, QString("secret"));
    QCOMPARE(s.connection, QString("Store Dialup"));
    QCOMPARE(s.server, QString("dock.example"));
    QCOMPARE(s.port, 6000);
    QCOMPARE(s.passiveMode, false);
    QCOMPARE(s.defaultNumDaysToReProcess, qint16(7));
    QCOMPARE(s.timeToSend, QTime(22, 15));
    QCOMPARE(s.retry, qint16(5));
    QCOMPARE(s.posPaths[0], QString("c:\\pos"));
    QCOMPARE(s.posPaths[1], QString("c:\\pos\\data"));
    QCOMPARE(s.posPaths[2], QString("d:\\alt"));
    QCOMPARE(s.posPaths[3], QString());
    QCOMPARE(s.posPaths[4], QString("e:\\q"));
}

void TestSettings::missingKeysGiveTheirDefaults() {
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[system]\r\nServer=dock.example\r\nRetry=30\r\n");
    ClientSettings s;
    QStringList problems;
    LoadSettings(folder.file("skyvane.ini"), &s, &problems);
    QVERIFY(problems.isEmpty());
    QCOMPARE(s.server, QString("dock.example"));
    QCOMPARE(s.retry, qint16(30));
    QCOMPARE(s.siteId, QString());
    QCOMPARE(s.port, 55555);
    QCOMPARE(s.passiveMode, true);
    QCOMPARE(s.posPaths[4], QString("c:\\qreports"));
}

void TestSettings::valueIsCutAt499() {
    TempProgramFolder folder;
    const QByteArray exact(499, 'a');
    const QByteArray longer = QByteArray(499, 'b') + "cdef";
    folder.write("skyvane.ini", "[system]\r\nID=" + exact + "\r\nServer=" + longer + "\r\n");
    ClientSettings s;
    LoadSettings(folder.file("skyvane.ini"), &s, nullptr);
    QCOMPARE(s.siteId, QString::fromLatin1(exact));
    QCOMPARE(s.server, QString(499, 'b'));
}

void TestSettings::connectionIsKeptAsWritten() {
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[system]\r\nConnection=lan\r\n");
    ClientSettings s;
    LoadSettings(folder.file("skyvane.ini"), &s, nullptr);
    QCOMPARE(s.connection, QString("lan"));
}

void TestSettings::badValueFallsBackAndNamesTheKey_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("port") << "Port"
                          << "abc";
    QTest::newRow("port empty") << "Port"
                                << "";
    QTest::newRow("passive") << "PassiveMode"
                             << "maybe";
    QTest::newRow("days") << "DefaultNumDaysToReProcess"
                          << "three";
    QTest::newRow("time") << "TimeToSend"
                          << "noon";
    QTest::newRow("retry range") << "Retry"
                                 << "40000";
}

void TestSettings::badValueFallsBackAndNamesTheKey() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    TempProgramFolder folder;
    // A good value after the bad one shows that reading goes on past it.
    folder.write("skyvane.ini", ("[system]\r\n" + key + "=" + value +
                                 "\r\nID=77\r\n"
                                 "[qreports]\r\nQReportsPath=q\r\n")
                                    .toLatin1());
    ClientSettings s;
    QStringList problems;
    LoadSettings(folder.file("skyvane.ini"), &s, &problems);
    QCOMPARE(problems.size(), 1);
    QVERIFY2(problems[0].contains(key) && problems[0].contains("skyvane.ini"),
             qPrintable(problems[0]));
    const ClientSettings defaults;
    QCOMPARE(s.port, defaults.port);
    QCOMPARE(s.passiveMode, defaults.passiveMode);
    QCOMPARE(s.defaultNumDaysToReProcess, defaults.defaultNumDaysToReProcess);
    QCOMPARE(s.timeToSend, defaults.timeToSend);
    QCOMPARE(s.retry, defaults.retry);
    QCOMPARE(s.siteId, QString("77"));
    QCOMPARE(s.posPaths[4], QString("q"));
}

void TestSettings::ftpTlsKeys_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("caFile"); // relative to the program folder
    QTest::addColumn<bool>("problem");
    QTest::newRow("absent") << QByteArray() << false << QString() << false;
    QTest::newRow("on, CA beside the programs")
        << QByteArray("FtpTls=True\r\nFtpCaFile=certs\\office.pem\r\n") << true
        << "certs/office.pem" << false;
    QTest::newRow("off") << QByteArray("FtpTls=false\r\n") << false << QString() << false;
    // A typing error must not send the passwords in clear text.
    QTest::newRow("unreadable") << QByteArray("FtpTls=yes\r\n") << true << QString() << true;
}

void TestSettings::ftpTlsKeys() {
    QFETCH(QByteArray, lines);
    QFETCH(bool, enabled);
    QFETCH(QString, caFile);
    QFETCH(bool, problem);
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[system]\r\n" + lines);
    ClientSettings s;
    QStringList problems;
    LoadSettings(folder.file("skyvane.ini"), &s, &problems);
    QCOMPARE(s.ftpTls.enabled, enabled);
    QCOMPARE(s.ftpTls.caFile,
             caFile.isEmpty() ? QString() : QDir::toNativeSeparators(folder.file(caFile)));
    QCOMPARE(problems.size(), problem ? 1 : 0);
    if (problem)
        QVERIFY(problems[0].contains("FtpTls") && problems[0].contains("yes"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
