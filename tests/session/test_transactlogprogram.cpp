// The built skyvane sends its transaction log when the server asks (E08, E37, E07), against the
// session server and a real FTP server.
#include "client/foundation/paths.h"
#include "tests/support/clientprogram.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/tempprogramfolder.h"
#include "tools/sessionserver/sessionserver.h"

#include <QProcess>
#include <QtTest>

namespace {
const QByteArray EarlierRun = "12/5/2026 11:00:00 PM :Skyvane Terminated\r\n";

// What the log holds when the server asks for it in a session that went straight from the
// update question to that request.
const QStringList LinesOfTheSession = {"Initializing Skyvane 2.3.9018.....",
                                       "Detecting Network",
                                       "Setting Server to: 127.0.0.1",
                                       "Setting Port to: %1",
                                       "Connecting to: 127.0.0.1",
                                       "Connected to the Dockmere",
                                       "Registering STORE12 with the Dockmere",
                                       "Client Registerd as:STORE12",
                                       "Checking Version Compatibility",
                                       "Version is Compatible",
                                       "Requesting User Name",
                                       "Requesting Password",
                                       "Requesting Server",
                                       "Requesting Store Folder Name",
                                       "Checking for AutoUpdate of Skyvane"};

// One store computer: its program folder with the built client, the session server and the
// FTP server with the store folder store12.
struct Store {
    TempProgramFolder folder;
    SessionServer server;
    FtpServerFixture ftp;
    QProcess skyvane;

    explicit Store(bool readOnlyFtp = false) {
        ftp.addUser("store", "secret", readOnlyFtp);
        ftp.makeFolder("store12");
    }

    // Starts the FTP server, then the client against script (which follows the update
    // question) with settings added to skyvane.ini; true when both are up.
    bool start(const QString& script, const QByteArray& settings = QByteArray()) {
        if (!ftp.start() || !server.listen())
            return false;
        const QString whole =
            ClientProgram::scriptToUpdateQuestion("store", "secret", ftp.address(), "store12") +
            script;
        if (!server.setScript(whole) || !ClientProgram::installClient(folder, server.port()))
            return false;
        folder.write("skyvane.ini", folder.read("skyvane.ini") + settings);
        folder.write("transact.log", EarlierRun);
        server.start();
        return ClientProgram::startClient(skyvane, folder);
    }

    QString failure() const {
        return server.error() + "\n" + server.log().join('\n') + "\n" +
               folder.logTexts("transact.log").join('\n');
    }

    // The log as it stood when the server asked for it, after the earlier run's last line.
    QStringList sessionLines() const {
        QStringList lines = LinesOfTheSession;
        lines[3] = lines[3].arg(server.port());
        return lines;
    }

    // The local path the client reports in its transfer lines.
    QString localLog() const {
        return Paths::join(ClientProgram::runningFolder(folder), "transact.log");
    }

    QStringList remoteLog() const {
        return ClientProgram::logTexts(ftp.readFile("store12/transact.log"));
    }
};
} // namespace

class TestTransactLogProgram : public QObject {
    Q_OBJECT
private slots:
    void logGoesUpAndLinesOfTheUploadStay();
    void refusedUploadAnswersE28AndKeepsTheLog();
    void loginGoneBeforeStorAnswersE28AndKeepsTheLog();
    void failedPackPreparationSendsTheLog();
    void majorFailureSendsTheLogAndStartsAgain();
    void logGoesUpOverTls();
    void serverWithoutTlsIsRefusedWithItsLine();
};

void TestTransactLogProgram::logGoesUpAndLinesOfTheUploadStay() {
    Store store;
    QVERIFY(store.start("send E08\n"
                        "expect STORE12E08\n"
                        "send E09\n"
                        "closed\n"));
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));

    // Every line written before the upload began went up, and only those.
    QCOMPARE(store.remoteLog(), QStringList("Skyvane Terminated") + store.sessionLines() +
                                    QStringList("Sending Transact.log"));

    // What was written while it travelled stays for the next upload.
    const QStringList kept = store.folder.logTexts("transact.log");
    const qsizetype sent = kept.indexOf(store.localLog() + " Sent Successfully");
    QVERIFY2(sent > 0, qPrintable(kept.join('\n')));  // FTP lines came before it
    QVERIFY(kept.contains("226 Transfer complete.")); // the server's reply to STOR
    QVERIFY(!kept.contains("Sending Transact.log"));  // sent, so gone from here
    QVERIFY(!kept.contains("Initializing Skyvane 2.3.9018....."));
    QCOMPARE(kept.mid(kept.indexOf("Send Complete")),
             QStringList({"Send Complete", "Disconnecting from Dockmere Server", "Ending Session",
                          "Skyvane Terminated"}));
    QVERIFY(!QFile::exists(store.folder.file("transact.log.sending")));
}

void TestTransactLogProgram::refusedUploadAnswersE28AndKeepsTheLog() {
    Store store(true);
    QVERIFY(store.start("send E08\n"
                        "expect STORE12E28\n"
                        "send E37\n"
                        "expect STORE12E28\n"
                        "send E09\n"
                        "closed\n"));
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));
    QVERIFY(!store.ftp.exists("store12/transact.log"));

    // Nothing was removed: the log holds the earlier run, the whole session and both tries.
    const QStringList log = store.folder.logTexts("transact.log");
    QCOMPARE(log.mid(0, store.sessionLines().size() + 2), QStringList("Skyvane Terminated") +
                                                              store.sessionLines() +
                                                              QStringList("Sending Transact.log"));
    QCOMPARE(log.count("Error Sending " + store.localLog()), 2);
    QCOMPARE(log.count("Send Failed"), 2);
    QVERIFY(!log.contains("Send Complete"));
    const qsizetype prepare = log.indexOf("Prepare Mission Pack Failed");
    QVERIFY(prepare > log.indexOf("Send Failed"));
    QCOMPARE(log.at(prepare + 1), QString("Sending Transact.log"));
    QCOMPARE(log.mid(log.lastIndexOf("Send Failed")),
             QStringList({"Send Failed", "Disconnecting from Dockmere Server", "Ending Session",
                          "Skyvane Terminated"}));
}

void TestTransactLogProgram::loginGoneBeforeStorAnswersE28AndKeepsTheLog() {
    Store store;
    store.ftp.setDropAfterPwd(true);
    QVERIFY(store.start("send E08\n"
                        "expect STORE12E28\n"
                        "send E09\n"
                        "closed\n"));
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));
    QVERIFY(!store.ftp.exists("store12/transact.log"));

    const QStringList log = store.folder.logTexts("transact.log");
    QCOMPARE(log.mid(0, store.sessionLines().size() + 2), QStringList("Skyvane Terminated") +
                                                              store.sessionLines() +
                                                              QStringList("Sending Transact.log"));
    QVERIFY(!log.contains(store.localLog() + " Sent Successfully"));
    QCOMPARE(log.mid(log.lastIndexOf("Send Failed")),
             QStringList({"Send Failed", "Disconnecting from Dockmere Server", "Ending Session",
                          "Skyvane Terminated"}));
}

void TestTransactLogProgram::failedPackPreparationSendsTheLog() {
    Store store;
    QVERIFY(store.start("send E37\n"
                        "expect STORE12E08\n"
                        "send E09\n"
                        "closed\n"));
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));
    QCOMPARE(store.remoteLog(),
             QStringList("Skyvane Terminated") + store.sessionLines() +
                 QStringList({"Prepare Mission Pack Failed", "Sending Transact.log"}));
    const QStringList kept = store.folder.logTexts("transact.log");
    QVERIFY(kept.contains(store.localLog() + " Sent Successfully"));
    QVERIFY(!kept.contains("Prepare Mission Pack Failed"));
    QCOMPARE(kept.mid(kept.indexOf("Send Complete")),
             QStringList({"Send Complete", "Disconnecting from Dockmere Server", "Ending Session",
                          "Skyvane Terminated"}));
}

void TestTransactLogProgram::majorFailureSendsTheLogAndStartsAgain() {
    Store store;
    store.ftp.makeFolder("second");
    // After the first failure the client registers again and can still transfer: the server
    // moves it to another store folder and asks for the log. The second failure comes with a
    // password the FTP server refuses, and the client starts again all the same.
    QVERIFY(store.start("send E07\n"
                        "closed\n"
                        "expect STORE12E01secret\n"
                        "send E011\n"
                        "expect STORE12E022.3.9018\n"
                        "send E23second\n"
                        "expect STORE12E10\n"
                        "send E08\n"
                        "expect STORE12E08\n"
                        "send E21wrong\n"
                        "expect STORE12E22\n"
                        "send E07\n"
                        "closed\n"
                        "expect STORE12E01secret\n"
                        "send E011\n"
                        "expect STORE12E022.3.9018\n"
                        "send E09\n"
                        "closed\n"));
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));
    QCOMPARE(store.server.connectionCount(), 3);

    // The major failure sent the log as it stood and kept it whole, so the next upload sent it
    // again with everything after it.
    const QStringList first = store.remoteLog();
    QCOMPARE(first, QStringList("Skyvane Terminated") + store.sessionLines() +
                        QStringList({"Major Failure", "Sending Transact.log"}));
    const QStringList second = ClientProgram::logTexts(store.ftp.readFile("second/transact.log"));
    QCOMPARE(second.mid(0, first.size()), first);
    QCOMPARE(second.last(), QString("Sending Transact.log"));

    // Nothing was lost between the two files: the whole run, three starts that each registered.
    const QStringList whole = second + store.folder.logTexts("transact.log");
    const QString start = "Initializing Skyvane 2.3.9018.....";
    QCOMPARE(whole.count(start), 3);
    QCOMPARE(whole.count("Client Registerd as:STORE12"), 3);
    QCOMPARE(whole.count("Major Failure"), 2);
    QCOMPARE(whole.count(store.localLog() + " Sent Successfully"), 2);
    QCOMPARE(whole.count("Send Complete"), 1);
    QCOMPARE(whole.count("Error connecting to FTP Server"), 1);
    const qsizetype secondStart = whole.indexOf(start, whole.indexOf(start) + 1);
    QVERIFY(secondStart > whole.indexOf(store.localLog() + " Sent Successfully"));
    QCOMPARE(whole.mid(secondStart + 5, 2),
             QStringList({"Connected to the Dockmere", "Registering STORE12 with the Dockmere"}));
    const qsizetype thirdStart = whole.lastIndexOf(start);
    QVERIFY(thirdStart > whole.indexOf("Error connecting to FTP Server"));
    QCOMPARE(whole.last(), QString("Skyvane Terminated"));
}

void TestTransactLogProgram::logGoesUpOverTls() {
    Store store;
    store.ftp.setTls(FtpServerFixture::Tls::OwnCa);
    QVERIFY(store.start("send E08\n"
                        "expect STORE12E08\n"
                        "send E09\n"
                        "closed\n",
                        "FtpTls=True\r\nFtpCaFile=" + store.ftp.caFile().toLocal8Bit() + "\r\n"));
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));
    QVERIFY(store.remoteLog().contains("Sending Transact.log"));

    // The TLS steps in the FTP log, the login inside TLS with its password masked.
    const QStringList ftpLog = store.folder.logTexts("debugFTP.log");
    const qsizetype auth = ftpLog.indexOf("AUTH TLS");
    const qsizetype user = ftpLog.indexOf("USER store");
    QVERIFY2(auth >= 0 && user > auth, qPrintable(ftpLog.join('\n')));
    QVERIFY(ftpLog.mid(auth, user - auth)
                .filter(QRegularExpression("^TLS connection established: TLSv1\\.\\d, cipher "))
                .size() == 1);
    QVERIFY(ftpLog.mid(user).contains("PASS ****"));
    QVERIFY(ftpLog.contains("PROT P"));
    QVERIFY(!store.folder.read("debugFTP.log").contains("secret"));
}

void TestTransactLogProgram::serverWithoutTlsIsRefusedWithItsLine() {
    Store store;
    QVERIFY(store.start("send E08\n"
                        "expect STORE12E28\n"
                        "send E09\n"
                        "closed\n",
                        "FtpTls=True\r\n"));
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));
    QVERIFY(!store.ftp.exists("store12/transact.log"));
    const QStringList log = store.folder.logTexts("transact.log");
    const qsizetype failed = log.indexOf("Error connecting to FTP Server");
    QVERIFY2(failed > 0, qPrintable(log.join('\n')));
    QVERIFY2(
        log.at(failed + 1).startsWith("The FTP server does not offer TLS (AUTH TLS refused): 5"),
        qPrintable(log.at(failed + 1)));
    QVERIFY(!store.folder.logTexts("debugFTP.log").contains("USER store"));
}

QTEST_GUILESS_MAIN(TestTransactLogProgram)
#include "test_transactlogprogram.moc"
