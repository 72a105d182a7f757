#include "client/transfer/autoupdate.h"
#include "client/transfer/ftpaccount.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testtransferhost.h"
#include "tests/support/testzip.h"

#include <QtTest>

class TestAutoUpdate : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fetchesAndUnpacksOnlyTheNewClient();
    void missingArchiveAnswersE12();
    void damagedArchiveAnswersNothing();
    void refusedLoginAnswersNothing();

private:
    QByteArray updateArchive();
    bool run();

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<FtpServerFixture> m_server;
    std::unique_ptr<TestTransferHost> m_host;
    QStringList m_sent;
};

void TestAutoUpdate::init() {
    m_folder.reset(new TempProgramFolder);
    m_server.reset(new FtpServerFixture);
    m_server->addUser("store", "secret", false, "/store7");
    m_server->makeFolder("store7");
    m_host.reset(new TestTransferHost(m_folder->path(), TestTransferHost::windowed()));
    m_sent.clear();
    ftpAccount().user = "store";
    ftpAccount().password = "secret";
}

void TestAutoUpdate::cleanup() {
    m_host.reset();
    m_server.reset();
    m_folder.reset();
}

QByteArray TestAutoUpdate::updateArchive() {
    return TestZip::make(
        {{"skyvane.new", "content of skyvane.new"}, {"readme.txt", "content of readme.txt"}});
}

bool TestAutoUpdate::run() {
    if (!m_server->isRunning() && !m_server->start())
        return false;
    ftpAccount().server = m_server->address();
    return AutoUpdateClient(*m_host, [this](const QString& code) { m_sent << code; });
}

void TestAutoUpdate::fetchesAndUnpacksOnlyTheNewClient() {
    // The archive lies at the root of the account, not in the login folder.
    m_server->writeFile("skyvane.zip", updateArchive());
    m_folder->write("skyvane.new", "left from an interrupted update");
    QVERIFY(run());
    QCOMPARE(m_sent, QStringList({"E11"}));
    QCOMPARE(m_folder->read("skyvane.new"), QByteArray("content of skyvane.new"));
    QVERIFY(!QFile::exists(m_folder->file("readme.txt")));
    QVERIFY(QFile::exists(m_folder->file("skyvane.zip")));
    QCOMPARE(m_host->lines, QStringList({"Attempting to run AutoUpdate, getting skyvane.new",
                                         "skyvane.zip Received Successfully",
                                         "Extracting skyvane.zip to " + m_folder->path(),
                                         "Auto Update file received"}));
}

void TestAutoUpdate::missingArchiveAnswersE12() {
    QVERIFY(!run());
    QCOMPARE(m_sent, QStringList({"E12"}));
    QCOMPARE(m_host->lines.mid(1, 2),
             QStringList({"Error Receiving skyvane.zip", "Auto Update download failed"}));
    QVERIFY(!m_host->lines.last().isEmpty()); // says why
}

void TestAutoUpdate::damagedArchiveAnswersNothing() {
    m_server->writeFile("skyvane.zip", "this is no zip archive");
    QVERIFY(!run());
    QVERIFY(m_sent.isEmpty());
    QVERIFY(m_host->lines.last().startsWith("Error in AutoUpdateClient During Unzip Error="));
    QVERIFY(!QFile::exists(m_folder->file("skyvane.new")));
}

void TestAutoUpdate::refusedLoginAnswersNothing() {
    ftpAccount().password = "wrong";
    m_server->writeFile("skyvane.zip", updateArchive());
    QVERIFY(!run());
    QVERIFY(m_sent.isEmpty());
    QCOMPARE(m_host->lines.last(), QString("Error connecting to FTP Server"));
}

QTEST_GUILESS_MAIN(TestAutoUpdate)
#include "test_autoupdate.moc"
