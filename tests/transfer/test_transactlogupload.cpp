#include "client/foundation/clock.h"
#include "client/foundation/logfile.h"
#include "client/transfer/ftpaccount.h"
#include "client/transfer/ftpclient.h"
#include "client/transfer/ftpsteps.h"
#include "client/transfer/transactlogupload.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testtransferhost.h"

#include <QtTest>

namespace {
// Status lines land in transact.log, as they do in the client.
class LoggingHost : public TestTransferHost {
public:
    LoggingHost(const QString& folder, const QString& log)
        : TestTransferHost(folder, TestTransferHost::windowed()), m_log(log) {}
    void writeStatus(const QString& text) override {
        TestTransferHost::writeStatus(text);
        appendLogLine(m_log, text, systemClock());
    }

private:
    QString m_log;
};
} // namespace

class TestTransactLogUpload : public QObject {
    Q_OBJECT
private slots:
    void sendsWhatWasThereAndKeepsWhatCameLater();
    void refusedUploadKeepsEverything();
    void withoutRemovalTheLogStaysWhole();
    void waitEndsWithTheTransferNotWithAnEarlierLoss();
};

void TestTransactLogUpload::sendsWhatWasThereAndKeepsWhatCameLater() {
    TempProgramFolder folder;
    FtpServerFixture server;
    server.addUser("store", "secret");
    server.makeFolder("store7");
    QVERIFY(server.start());
    ftpAccount() = FtpAccount();
    ftpAccount().server = server.address();
    ftpAccount().user = "store";
    ftpAccount().password = "secret";
    ftpAccount().storeFolder = "store7";

    const QByteArray before = "12/6/2026 9:53:13 AM :Sending Transact.log\r\n";
    folder.write("transact.log", before);
    LoggingHost host(folder.path(), folder.file("transact.log"));
    QVERIFY(UploadTransactLog(host, folder.file("transact.log"), true));

    QCOMPARE(server.readFile("store7/transact.log"), before);
    const QStringList kept = folder.logTexts("transact.log");
    QCOMPARE(kept, QStringList({folder.file("transact.log") + " Sent Successfully"}));
    QVERIFY(!QFile::exists(folder.file("transact.log.sending")));
}

void TestTransactLogUpload::refusedUploadKeepsEverything() {
    TempProgramFolder folder;
    FtpServerFixture server;
    server.addUser("store", "secret", true);
    server.makeFolder("store7");
    QVERIFY(server.start());
    ftpAccount().server = server.address();
    ftpAccount().user = "store";
    ftpAccount().password = "secret";
    ftpAccount().storeFolder = "store7";

    folder.write("transact.log", "12/6/2026 9:53:13 AM :first\r\n");
    LoggingHost host(folder.path(), folder.file("transact.log"));
    QVERIFY(!UploadTransactLog(host, folder.file("transact.log"), true));
    const QStringList lines = folder.logTexts("transact.log");
    QCOMPARE(lines.first(), QString("first"));
    QVERIFY(lines.contains("Error Sending " + folder.file("transact.log")));
}

void TestTransactLogUpload::withoutRemovalTheLogStaysWhole() {
    TempProgramFolder folder;
    FtpServerFixture server;
    server.addUser("store", "secret");
    server.makeFolder("store7");
    QVERIFY(server.start());
    ftpAccount().server = server.address();
    ftpAccount().storeFolder = "store7";

    folder.write("transact.log", "12/6/2026 9:53:13 AM :first\r\n");
    LoggingHost host(folder.path(), folder.file("transact.log"));
    QVERIFY(UploadTransactLog(host, folder.file("transact.log"), false));
    QCOMPARE(folder.logTexts("transact.log").first(), QString("first"));
    QCOMPARE(folder.logTexts("transact.log").size(), 2);
}

void TestTransactLogUpload::waitEndsWithTheTransferNotWithAnEarlierLoss() {
    TempProgramFolder folder;
    FtpServerFixture server;
    server.addUser("store", "secret");
    server.setIdleTimeoutMs(300);
    server.makeFolder("store7");
    QVERIFY(server.start());
    ftpAccount() = FtpAccount();
    ftpAccount().server = server.address();
    ftpAccount().user = "store";
    ftpAccount().password = "secret";
    const QByteArray content(2 * 1024 * 1024, 'x');
    folder.write("big.log", content);

    TestTransferHost host(folder.path(), TestTransferHost::windowed());
    QCOMPARE(FtpSteps::login(host, FtpSteps::Login::Upload), 0);
    QThread::msleep(1000); // the server drops the idle login meanwhile
    // The loss is noticed, and reported, as the transfer starts; it logs in again.
    host.clearFtpDone();
    QCOMPARE(FtpSteps::send(host, folder.file("big.log"), "\\store7\\big.log"), 0);
    FtpSteps::waitForFtpDone(host);
    QCOMPARE(host.ftp().errorNumber(), 0);
    QCOMPARE(server.readFile("store7/big.log"), content);
}

QTEST_GUILESS_MAIN(TestTransactLogUpload)
#include "test_transactlogupload.moc"
