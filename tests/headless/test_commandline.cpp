#include "headless/commandline.h"
#include "headless/headlesssettings.h"
#include "tests/support/tempprogramfolder.h"

#include <QtTest>

class TestHeadlessCommandLine : public QObject {
    Q_OBJECT
private slots:
    void arguments_data();
    void arguments();
    void settingsDefaultsAndBadPort();
};

void TestHeadlessCommandLine::arguments_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("log");
    QTest::addColumn<QString>("session");
    QTest::newRow("none") << "" << false << "default";
    QTest::newRow("-LOG") << "-LOG" << true << "default";
    QTest::newRow("name keeps its case") << "-Session:North" << false << "North";
    QTest::newRow("second colon cuts") << "-session:a:b" << false << "a";
    QTest::newRow("empty name") << "-session:" << false << "";
    QTest::newRow("log after session") << "-session:north -log" << true << "north";
    QTest::newRow("two blanks give an empty argument")
        << "-session:north  -log" << true << "default";
    QTest::newRow("other word resets") << "-session:north other" << false << "default";
    QTest::newRow("session without colon") << "-session" << false << "default";
}

void TestHeadlessCommandLine::arguments() {
    QFETCH(QString, line);
    QFETCH(bool, log);
    QFETCH(QString, session);
    const HeadlessOptions options = parseHeadlessCommandLine(line);
    QCOMPARE(options.logEnabled, log);
    QCOMPARE(options.sessionName, session);
    // The platform's split arguments come back to the same line (an empty one included).
    QCOMPARE(joinArguments({"-session:north", "", "-log"}), QString("-session:north  -log"));
}

void TestHeadlessCommandLine::settingsDefaultsAndBadPort() {
    TempProgramFolder folder;
    QStringList problems;
    HeadlessSettings s = LoadHeadlessSettings(folder.file("skyvane.ini"), &problems);
    QCOMPARE(s.connectionKind, QString("LAN"));
    QCOMPARE(s.serverPort, 55555);
    QVERIFY(!s.ftpTls.enabled);
    QVERIFY(problems.isEmpty());

    // FtpTls and FtpCaFile as skyvane reads them.
    folder.write("skyvane.ini", "[system]\r\nID=7\r\nConnection=lan\r\nPort=abc\r\n"
                                "FtpTls=True\r\nFtpCaFile=office.pem\r\n");
    s = LoadHeadlessSettings(folder.file("skyvane.ini"), &problems);
    QCOMPARE(s.siteId, QString("7"));
    QCOMPARE(s.connectionKind, QString("lan"));
    QCOMPARE(s.serverPort, 55555);
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems[0].contains("abc"));
    QVERIFY(s.ftpTls.enabled);
    QCOMPARE(s.ftpTls.caFile, QDir::toNativeSeparators(folder.file("office.pem")));
}

QTEST_GUILESS_MAIN(TestHeadlessCommandLine)
#include "test_commandline.moc"
