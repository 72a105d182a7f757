// The self-update from end to end: the built skyvane fetches skyvane.zip from a real FTP server
// when the session server asks, then hands over to the built updater, which puts the new build
// in place and starts it. The new build is recordargs, which writes down how it was started.
#include "client/foundation/paths.h"
#include "tests/support/clientprogram.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testdata.h"
#include "tests/support/testzip.h"
#include "tools/sessionserver/sessionserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {
QByteArray programBytes(const QString& name) {
    QFile file(TestData::program(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One store computer with the built client, the session server and an FTP account whose
// login folder is the store folder store12; the update archive belongs at the account's root.
struct Store {
    TempProgramFolder folder;
    SessionServer server;
    FtpServerFixture ftp;
    QProcess skyvane;

    Store() {
        ftp.addUser("store", "secret", false, "/store12");
        ftp.makeFolder("store12");
    }

    bool start(const QString& password, const QString& script, const QStringList& arguments = {}) {
        if (!ftp.start() || !server.listen())
            return false;
        const QString whole =
            ClientProgram::scriptToUpdateQuestion("store", password, ftp.address(), "store12") +
            script;
        if (!server.setScript(whole) || !ClientProgram::installClient(folder, server.port()))
            return false;
        server.start();
        return ClientProgram::startClient(skyvane, folder, arguments);
    }

    QString failure() const {
        return server.error() + "\n" + server.log().join('\n') + "\n" +
               folder.logTexts("transact.log").join('\n');
    }

    // The status lines from the server's update command on, without the FTP protocol lines
    // (which start with a reply code or a command word in capitals).
    QStringList updateLines() const {
        const QStringList log = folder.logTexts("transact.log");
        QStringList out;
        for (qsizetype i = log.indexOf("Performing Auto Update Step 1"); i >= 0 && i < log.size();
             ++i) {
            if (!log[i].contains(QRegularExpression("^([0-9]{3}[ -]|(?!FTP )[A-Z]{3,4}( |$))")))
                out << log[i];
        }
        return out;
    }
};

QByteArray updateArchive() {
    return TestZip::make({{"skyvane.new", programBytes("recordargs")},
                          {"readme.txt", "the new build of the client\r\n"}});
}
} // namespace

class TestSelfUpdateProgram : public QObject {
    Q_OBJECT
private slots:
    void newBuildReplacesTheClientAndStartsForTheSameSession();
    void noArchiveOnTheServerAnswersE12();
    void damagedArchiveAnswersNothing();
    void refusedLoginAnswersNothing();
};

void TestSelfUpdateProgram::newBuildReplacesTheClientAndStartsForTheSameSession() {
    Store store;
    QVERIFY(ClientProgram::installProgram(store.folder, "update"));
    store.ftp.writeFile("skyvane.zip", updateArchive());
    // Not this one: the login folder is not where the update lies.
    store.ftp.writeFile("store12/skyvane.zip", "no archive");
    QVERIFY(store.start("secret",
                        "send E10\n"
                        "expect STORE12E11\n"
                        "send E11\n"
                        "closed\n",
                        {"-reverse"})); // a session name Qt would take for its own option
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));

    const QString folder = ClientProgram::runningFolder(store.folder);
    QCOMPARE(store.updateLines(),
             QStringList({"Performing Auto Update Step 1",
                          "Attempting to run AutoUpdate, getting skyvane.new",
                          "skyvane.zip Received Successfully", "FTP Disconnected",
                          "Extracting skyvane.zip to " + folder, "Auto Update file received",
                          "Performing Auto Update Step 2", "Skyvane Terminated"}));
    QVERIFY(!QFile::exists(store.folder.file("readme.txt")));
    QVERIFY(QFile::exists(store.folder.file("skyvane.zip")));

    // The updater waits its 20 seconds before it touches anything.
    const QString client = store.folder.file(Paths::executableName("skyvane"));
    QCOMPARE(store.folder.read("skyvane.new"), programBytes("recordargs"));
    QVERIFY(!QFile::exists(store.folder.file("started.txt")));

    QVERIFY(
        ClientProgram::waitFor([&] { return !store.folder.read("started.txt").isEmpty(); }, 60000));
    // recordargs: the argument count, one argument a line, then its working folder.
    QCOMPARE(QString::fromUtf8(store.folder.read("started.txt")),
             QString("1\n-reverse\ncwd %1\n").arg(QDir::fromNativeSeparators(folder)));
    QVERIFY(!QFile::exists(store.folder.file("skyvane.new")));
    QCOMPARE(store.folder.read("skyvane.old"), programBytes("skyvane"));
    QFile swapped(client);
    QVERIFY(swapped.open(QIODevice::ReadOnly));
    QCOMPARE(swapped.readAll(), programBytes("recordargs"));
    QVERIFY(swapped.permissions() & QFileDevice::ExeOwner);
}

void TestSelfUpdateProgram::noArchiveOnTheServerAnswersE12() {
    Store store;
    QVERIFY(store.start("secret", "send E10\n"
                                  "expect STORE12E12\n"
                                  "send E09\n"
                                  "closed\n"));
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));
    const QStringList lines = store.updateLines();
    QCOMPARE(lines.mid(0, 5), QStringList({"Performing Auto Update Step 1",
                                           "Attempting to run AutoUpdate, getting skyvane.new",
                                           "Error Receiving skyvane.zip", "FTP Disconnected",
                                           "Auto Update download failed"}));
    // The line after it gives the download's own reason.
    const QStringList log = store.folder.logTexts("transact.log");
    const QString why = log.value(log.indexOf("Auto Update download failed") + 1);
    QVERIFY2(why.contains("550"), qPrintable(why));
    QCOMPARE(lines.mid(lines.size() - 3), QStringList({"Disconnecting from Dockmere Server",
                                                       "Ending Session", "Skyvane Terminated"}));
    QVERIFY(!QFile::exists(store.folder.file("skyvane.new")));
}

void TestSelfUpdateProgram::damagedArchiveAnswersNothing() {
    Store store;
    store.ftp.writeFile("skyvane.zip", "this is no zip archive");
    // An answer to E10 would reach the server before the answer to the unknown command.
    QVERIFY(store.start("secret", "together E10|E55\n"
                                  "expect STORE12E99\n"
                                  "send E09\n"
                                  "closed\n"));
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));
    const QStringList lines = store.updateLines();
    const QString folder = ClientProgram::runningFolder(store.folder);
    QCOMPARE(lines.mid(0, 5), QStringList({"Performing Auto Update Step 1",
                                           "Attempting to run AutoUpdate, getting skyvane.new",
                                           "skyvane.zip Received Successfully", "FTP Disconnected",
                                           "Extracting skyvane.zip to " + folder}));
    const QString unzipError = "Error in AutoUpdateClient During Unzip Error=";
    QVERIFY(lines.value(5).startsWith(unzipError));
    QVERIFY(lines.value(5).size() > unzipError.size());
    QCOMPARE(lines.value(6), QString("Skyvane has recieved an unknown Command:E55"));
    QVERIFY(!QFile::exists(store.folder.file("skyvane.new")));
}

void TestSelfUpdateProgram::refusedLoginAnswersNothing() {
    Store store;
    store.ftp.writeFile("skyvane.zip", updateArchive());
    QVERIFY(store.start("wrong", "together E10|E55\n"
                                 "expect STORE12E99\n"
                                 "send E09\n"
                                 "closed\n"));
    QVERIFY2(ClientProgram::endsNormally(store.skyvane), qPrintable(store.failure()));
    QVERIFY2(store.server.succeeded(), qPrintable(store.failure()));
    QCOMPARE(store.updateLines().mid(0, 4),
             QStringList({"Performing Auto Update Step 1",
                          "Attempting to run AutoUpdate, getting skyvane.new",
                          "Error connecting to FTP Server",
                          "Skyvane has recieved an unknown Command:E55"}));
    QVERIFY(!QFile::exists(store.folder.file("skyvane.zip")));
    QVERIFY(!QFile::exists(store.folder.file("skyvane.new")));
}

QTEST_GUILESS_MAIN(TestSelfUpdateProgram)
#include "test_selfupdateprogram.moc"
