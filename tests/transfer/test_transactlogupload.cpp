#include "client/foundation/clock.h"
#include "client/foundation/logfile.h"
#include "client/transfer/ftpaccount.h"
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

QTEST_GUILESS_MAIN(TestTransactLogUpload)
#include "test_transactlogupload.moc"
