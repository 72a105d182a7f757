// The main window's transfer display follows real transfers of a few megabytes: the client's
// windows in this process, its FTP component talking to a real FTP server.
#include "client/display/ftpeventhandler.h"
#include "client/display/progressbar.h"
#include "client/foundation/prompter.h"
#include "client/foundation/settings.h"
#include "client/session/clientapp.h"
#include "client/session/clientstate.h"
#include "client/session/frmmain.h"
#include "client/session/windowedprocedures.h"
#include "client/transfer/ftpaccount.h"
#include "client/transfer/ftpclient.h"
#include "client/transfer/ftpsteps.h"
#include "client/transfer/uploadfile.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/tempprogramfolder.h"

#include <QLabel>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {
constexpr qint64 FileSize = 3 * 1024 * 1024;
constexpr qint64 HeldUpAfter = 64 * 1024; // 2 % of the file

QByteArray noise(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(12);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// What the display showed at one transfer-status event.
struct Shown {
    QString caption;
    QString totalBytes;
    QString transferred;
    QString byteRate;
};

// The windowed client with its main window up (its session server never answers), its
// transfer procedures on the real FTP component, and an FTP server with the store folder.
struct Client {
    TempProgramFolder folder;
    FtpServerFixture ftp;
    QTcpServer session;
    ScriptedPrompter prompter;
    std::unique_ptr<ClientApp> app;
    std::unique_ptr<WindowedProcedures> procedures;
    QList<Shown> shown;

    Client() {
        clientSettings() = ClientSettings();
        clientFlags() = ClientFlags();
        sessionValues() = SessionValues();
        ftpAccount() = FtpAccount();
        Prompter::setCurrent(&prompter);
        ftp.addUser("store", "secret");
        ftp.makeFolder("store12");
    }
    ~Client() {
        procedures.reset();
        app.reset();
        Prompter::setCurrent(nullptr);
    }

    bool start() {
        if (!ftp.start() || !session.listen(QHostAddress::LocalHost))
            return false;
        folder.write("skyvane.ini",
                     QString("[system]\r\nID=STORE12\r\nPass=secret\r\nConnection=LAN\r\n"
                             "Server=127.0.0.1\r\nPort=%1\r\n")
                         .arg(session.serverPort())
                         .toLatin1());
        ClientApp::Options options;
        options.singleInstance = false;
        options.runTimers = false;
        app = std::make_unique<ClientApp>(options);
        procedures = std::make_unique<WindowedProcedures>(app->session());
        app->session().setProcedures(procedures.get());
        app->setTransferComponent(&procedures->ftp());
        if (!app->StartClient() || !app->mainWindow())
            return false;
        // The pause before each FTP line becomes a status line is not what is shown here.
        app->mainWindow()->transferEvents()->setLogTextDelay(0);
        ftpAccount().server = ftp.address();
        ftpAccount().user = "store";
        ftpAccount().password = "secret";
        ftpAccount().storeFolder = "store12";
        // Connected after the main window's handlers, so it reads what they have just set.
        QObject::connect(&procedures->ftp(), &FtpClient::FtpTransferStatus, [this] {
            frmMain* main = app->mainWindow();
            shown.append({main->progressBar()->caption()->text(), main->lblTotalBytes()->text(),
                          main->lblTransfered()->text(), main->lblByteRate()->text()});
        });
        return true;
    }

    frmMain* main() const {
        return app->mainWindow();
    }

    // Whole percentages shown with the word, in the order shown.
    QList<int> percentages(const QString& word) const {
        const QRegularExpression form("^" + word + "   (\\d+)%$");
        QList<int> out;
        for (const Shown& s : shown) {
            const QRegularExpressionMatch m = form.match(s.caption);
            if (m.hasMatch())
                out << m.captured(1).toInt();
        }
        return out;
    }
};
} // namespace

class TestTransferProgress : public QObject {
    Q_OBJECT
private slots:
    void downloadHeldUpPartWayShowsItsShare();
    void downloadEndsFull();
    void uploadCountsUpToDone();
};

void TestTransferProgress::downloadHeldUpPartWayShowsItsShare() {
    Client client;
    client.ftp.setStallDownloadAfter(HeldUpAfter);
    QVERIFY(client.start());
    QCOMPARE(client.main()->progressBar()->caption()->text(), QString("IDLE"));
    client.ftp.writeFile("store12/night.zip", noise(FileSize));
    WindowedProcedures& host = *client.procedures;
    host.ftp().setInactivityLimitMs(1500);

    // The Mission Pack's way of fetching a file; the server stops sending after 64 KiB.
    QCOMPARE(FtpSteps::login(host, FtpSteps::Login::PackDownload), 0);
    host.clearFtpDone();
    QCOMPARE(FtpSteps::receive(host, "store12\\night.zip", client.folder.file("night.zip")), 0);
    FtpSteps::waitForFtpDone(host);
    QCOMPARE(host.ftp().errorNumber(), FtpClient::ErrorTimedOut);
    QVERIFY(!QFile::exists(client.folder.file("night.zip")));

    // The display shows how far it got, and nothing resets it.
    const QList<int> moving = client.percentages("RECEIVING");
    QVERIFY(!moving.isEmpty());
    QVERIFY(std::is_sorted(moving.begin(), moving.end()));
    frmMain* main = client.main();
    ProgressBar* bar = main->progressBar();
    QCOMPARE(bar->caption()->text(), QString("RECEIVING   2%"));
    QCOMPARE(bar->fillWidth(), ProgressBar::fillWidthFor(2, bar->fullFillWidth()));
    QCOMPARE(main->lblTotalBytes()->text(), QString("Total Bytes Expected: %1").arg(FileSize));
    QCOMPARE(main->lblTransfered()->text(), QString("Bytes Transfered: %1").arg(HeldUpAfter));
    QVERIFY(main->lblByteRate()->text().startsWith("Transfer Rate (Bytes Per Second): "));
}

void TestTransferProgress::downloadEndsFull() {
    Client client;
    QVERIFY(client.start());
    const QByteArray content = noise(FileSize);
    client.ftp.writeFile("store12/night.zip", content);
    WindowedProcedures& host = *client.procedures;
    QCOMPARE(FtpSteps::login(host, FtpSteps::Login::PackDownload), 0);
    host.clearFtpDone();
    QCOMPARE(FtpSteps::receive(host, "store12\\night.zip", client.folder.file("night.zip")), 0);
    FtpSteps::waitForFtpDone(host);
    QCOMPARE(host.ftp().errorNumber(), 0);
    FtpSteps::disconnectLoop(host);
    QCOMPARE(client.folder.read("night.zip"), content);

    QVERIFY(!client.shown.isEmpty());
    QVERIFY(client.percentages("SENDING").isEmpty());
    frmMain* main = client.main();
    QCOMPARE(main->progressBar()->caption()->text(), QString("DONE...AWAITING NEXT COMMAND"));
    QCOMPARE(main->progressBar()->fillWidth(), main->progressBar()->fullFillWidth());
    QCOMPARE(main->lblTotalBytes()->text(), QString("Total Bytes Expected: %1").arg(FileSize));
    QCOMPARE(main->lblTransfered()->text(), QString("Bytes Transfered: %1").arg(FileSize));
    QVERIFY(main->lblByteRate()->text().contains(
        QRegularExpression("^Transfer Rate \\(Bytes Per Second\\): [1-9]\\d*$")));
}

void TestTransferProgress::uploadCountsUpToDone() {
    Client client;
    QVERIFY(client.start());
    const QByteArray content = noise(FileSize);
    client.folder.write("MissionPackIn.zip", content);

    QVERIFY(UploadFile(*client.procedures, client.folder.file("MissionPackIn.zip"),
                       "MissionPackIn.zip"));
    QCOMPARE(client.ftp.readFile("store12/MissionPackIn.zip"), content);

    const QList<int> moving = client.percentages("SENDING");
    QVERIFY(!moving.isEmpty());
    QVERIFY(std::any_of(moving.begin(), moving.end(), [](int p) { return p >= 1 && p <= 94; }));
    QVERIFY(std::is_sorted(moving.begin(), moving.end()));
    QVERIFY(client.percentages("RECEIVING").isEmpty());
    frmMain* main = client.main();
    QCOMPARE(main->progressBar()->caption()->text(), QString("DONE...AWAITING NEXT COMMAND"));
    QCOMPARE(main->lblTotalBytes()->text(), QString("Total Bytes Expected: %1").arg(FileSize));
    QCOMPARE(main->lblTransfered()->text(), QString("Bytes Transfered: %1").arg(FileSize));
}

QTEST_MAIN(TestTransferProgress)
#include "test_transferprogress.moc"
