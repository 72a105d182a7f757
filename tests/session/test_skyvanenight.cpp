// The built skyvane through a whole night against vsftpd, the FTP server offices run, over TLS
// and over plain FTP: the self-update download, the Mission Pack, the return pack and
// transact.log.
#include "tests/support/clientprogram.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/hostsystem.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testzip.h"
#include "tools/sessionserver/sessionserver.h"

#include <QProcess>
#include <QtTest>

class TestSkyvaneNight : public QObject {
    Q_OBJECT
private slots:
    void wholeNightAgainstVsftpd_data();
    void wholeNightAgainstVsftpd();
};

void TestSkyvaneNight::wholeNightAgainstVsftpd_data() {
    QTest::addColumn<bool>("tls");
    QTest::newRow("FTP over TLS") << true;
    QTest::newRow("plain FTP") << false;
}

void TestSkyvaneNight::wholeNightAgainstVsftpd() {
    QFETCH(bool, tls);
    if (tls && !HostSystem::tlsResumptionProblem().isEmpty())
        QSKIP(qPrintable(HostSystem::tlsResumptionProblem()));
    TempProgramFolder folder;
    SessionServer server;
    FtpServerFixture ftp(FtpServerFixture::Daemon::Vsftpd);
    ftp.addUser("store", "secret");
    ftp.setTls(tls ? FtpServerFixture::Tls::OwnCa : FtpServerFixture::Tls::Off);
    ftp.writeFile("store12/night.zip", ClientProgram::reportsPack(folder));
    ftp.writeFile("skyvane.zip", TestZip::make({{"skyvane.new", "the next build"}}));
    QVERIFY(ftp.start());
    QVERIFY(server.listen());
    QVERIFY(server.setScript(
        ClientProgram::scriptToUpdateQuestion("store", "secret", ftp.address(), "store12") +
        "send E10\n"
        "expect STORE12E11\n"
        "send E13\n"
        "expect STORE12E30night\n"
        "send E30night.zip\n"
        "expect STORE12E31\n"
        "send E08\n"
        "expect STORE12E08\n"
        "send E09\n"
        "closed\n"));
    QVERIFY(ClientProgram::installClient(folder, server.port()));
    if (tls)
        folder.write("skyvane.ini",
                     folder.read("skyvane.ini") + ClientProgram::ftpTlsSettings(ftp));
    server.start();

    QProcess skyvane;
    QVERIFY(ClientProgram::startClient(skyvane, folder, {"night"}));
    const auto failure = [&] {
        return qPrintable(server.error() + "\n" + folder.logTexts("transact.log").join('\n'));
    };
    QVERIFY2(ClientProgram::endsNormally(skyvane), failure());
    QVERIFY2(server.succeeded(), failure());

    QCOMPARE(folder.read("skyvane.new"), QByteArray("the next build"));
    QFile::remove(folder.file("returned.zip"));
    QVERIFY(QFile::copy(ftp.filePath("store12/MissionPackIn.zip"), folder.file("returned.zip")));
    QCOMPARE(TestZip::entries(folder.file("returned.zip")), QStringList({"a.ini", "a.zip"}));
    QVERIFY(ClientProgram::logTexts(ftp.readFile("store12/transact.log"))
                .contains("Sending Transact.log"));
    const QStringList ftpLog = folder.logTexts("debugFTP.log");
    QCOMPARE(ftpLog.contains("PROT P"), tls);
    QCOMPARE(ftpLog.filter(QRegularExpression("^TLS connection established: ")).size(),
             tls ? 4 : 0); // one login a transfer
}

QTEST_GUILESS_MAIN(TestSkyvaneNight)
#include "test_skyvanenight.moc"
