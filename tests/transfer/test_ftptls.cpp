#include "client/transfer/ftpclient.h"
#include "client/transfer/ftptls.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/hostsystem.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString User = QStringLiteral("store");
const QString Password = QStringLiteral("s3cret");

// The protocol lines a client reports.
class ProtocolLog : public QObject {
public:
    explicit ProtocolLog(FtpClient& ftp) {
        connect(&ftp, &FtpClient::FtpLogText, this, [this](const QString& t) { lines << t; });
    }
    int indexOf(const QString& prefix) const {
        for (int i = 0; i < lines.size(); ++i)
            if (lines[i].startsWith(prefix))
                return i;
        return -1;
    }
    QStringList lines;
};
} // namespace

class TestFtpTls : public QObject {
    Q_OBJECT

private:
    // The office's servers: pyftpdlib, and vsftpd, which wants every TLS data connection to
    // resume the control connection's TLS session.
    static void servers() {
        QTest::addColumn<bool>("vsftpd");
        QTest::newRow("pyftpdlib") << false;
        QTest::newRow("vsftpd") << true;
    }
    FtpServerFixture& tlsServer(bool vsftpd) {
        return vsftpd ? m_vsftpd : m_tlsServer;
    }
    void configure(FtpClient& ftp, const FtpServerFixture& server, bool tls) {
        ftp.setServerAddress(server.address());
        ftp.setUserName(User);
        ftp.setPassword(Password);
        ftp.setInactivityLimitMs(10000);
        ftp.setTls(tls);
        ftp.setCaFile(server.caFile());
    }
    // Logging in went no further than the refusal: the password never left in clear text.
    static void verifyNoLogin(const ProtocolLog& log) {
        QCOMPARE(log.indexOf(QStringLiteral("USER")), -1);
        QCOMPARE(log.indexOf(QStringLiteral("PASS")), -1);
    }

    FtpServerFixture m_tlsServer;
    FtpServerFixture m_vsftpd{FtpServerFixture::Daemon::Vsftpd};
    QTemporaryDir m_local;

private slots:
    void initTestCase() {
        for (FtpServerFixture* server : {&m_tlsServer, &m_vsftpd}) {
            server->addUser(User, Password);
            server->makeFolder(QStringLiteral("store"));
            server->setTls(FtpServerFixture::Tls::OwnCa);
            QVERIFY(server->start());
        }
    }

    void transfersRunOverTlsAndTheLogShowsIt_data() {
        servers();
    }
    void transfersRunOverTlsAndTheLogShowsIt() {
        QFETCH(bool, vsftpd);
        if (vsftpd && !HostSystem::tlsResumptionProblem().isEmpty())
            QSKIP(qPrintable(HostSystem::tlsResumptionProblem()));
        FtpServerFixture& server = tlsServer(vsftpd);
        QByteArray data(300 * 1024, Qt::Uninitialized);
        for (char& c : data)
            c = char(QRandomGenerator::global()->bounded(256));
        const QString up = m_local.filePath(QStringLiteral("up.bin"));
        const QString down = m_local.filePath(QStringLiteral("down.bin"));
        QFile f(up);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
        f.close();

        FtpClient ftp;
        ProtocolLog log(ftp);
        configure(ftp, server, true);
        QCOMPARE(ftp.connectToServer(), 0);
        // Each transfer opens its own data connection, which must resume the login's session;
        // so must those of a later login on a new control connection.
        QVERIFY2(ftp.sendFile(up, 0, QStringLiteral("\\store\\up.bin"), false) == 0,
                 qPrintable(ftp.errorDescription()));
        // An upload this small is over before the server's new session ticket arrives.
        const QString small = m_local.filePath(QStringLiteral("small.txt"));
        QFile smallFile(small);
        QVERIFY(smallFile.open(QIODevice::WriteOnly));
        smallFile.write("small\r\n");
        smallFile.close();
        QVERIFY2(ftp.sendFile(small, 0, QStringLiteral("\\store\\small.txt"), false) == 0,
                 qPrintable(ftp.errorDescription()));
        QVERIFY2(ftp.receiveFile(QStringLiteral("\\store\\up.bin"), 0, down) == 0,
                 qPrintable(ftp.errorDescription()));
        ftp.disconnectFromServer();
        QCOMPARE(server.readFile(QStringLiteral("store/up.bin")), data);
        QCOMPARE(ftp.connectToServer(), 0);
        QVERIFY2(ftp.receiveFile(QStringLiteral("\\store\\up.bin"), 0, down) == 0,
                 qPrintable(ftp.errorDescription()));
        ftp.disconnectFromServer();
        QFile got(down);
        QVERIFY(got.open(QIODevice::ReadOnly));
        QCOMPARE(got.readAll(), data);

        // AUTH TLS, the handshake's outcome, then the login inside TLS and protected data.
        const int auth = log.indexOf(QStringLiteral("AUTH TLS"));
        const int done = log.indexOf(QStringLiteral("TLS connection established: TLSv1."));
        const int user = log.indexOf(QStringLiteral("USER store"));
        QVERIFY2(auth >= 0 && auth < done && done < user, qPrintable(log.lines.join('\n')));
        QVERIFY(log.lines[done].contains(QLatin1String(", cipher ")));
        QVERIFY(log.lines.contains(QStringLiteral("PASS ****")));
        QVERIFY(log.indexOf(QStringLiteral("PBSZ 0")) > user);
        QVERIFY(log.indexOf(QStringLiteral("PROT P")) > user);
        for (const QString& line : std::as_const(log.lines))
            QVERIFY(!line.contains(Password));
    }

    void serverWithoutTlsIsRefused_data() {
        servers();
    }
    void serverWithoutTlsIsRefused() {
        QFETCH(bool, vsftpd);
        FtpServerFixture plain(vsftpd ? FtpServerFixture::Daemon::Vsftpd
                                      : FtpServerFixture::Daemon::Python);
        plain.addUser(User, Password);
        QVERIFY(plain.start());
        FtpClient ftp;
        ProtocolLog log(ftp);
        configure(ftp, plain, true);
        QCOMPARE(ftp.connectToServer(), FtpClient::ErrorTlsRefused);
        QVERIFY(!ftp.isConnected());
        QVERIFY2(ftp.errorDescription().startsWith(
                     "The FTP server does not offer TLS (AUTH TLS refused): 5"),
                 qPrintable(ftp.errorDescription()));
        QVERIFY(log.indexOf(QStringLiteral("AUTH TLS")) >= 0);
        verifyNoLogin(log);
    }

    void certificateThatDoesNotVerifyIsRefused() {
        FtpServerFixture stranger;
        stranger.addUser(User, Password);
        stranger.setTls(FtpServerFixture::Tls::OtherCa);
        QVERIFY(stranger.start());
        FtpClient ftp;
        ProtocolLog log(ftp);
        configure(ftp, stranger, true);
        QCOMPARE(ftp.connectToServer(), FtpClient::ErrorCertificate);
        // What follows our text is the TLS library's own wording, which differs by platform.
        QVERIFY2(ftp.errorDescription().startsWith("The FTP server's certificate is not trusted: "),
                 qPrintable(ftp.errorDescription()));
        verifyNoLogin(log);

        configure(ftp, m_tlsServer, true);
        ftp.setCaFile(m_local.filePath(QStringLiteral("missing.pem")));
        QCOMPARE(ftp.connectToServer(), FtpClient::ErrorCaFile);
        QVERIFY2(ftp.errorDescription().startsWith("The CA file of FtpCaFile cannot be used: "),
                 qPrintable(ftp.errorDescription()));
    }

    void systemStoreAloneDoesNotKnowTheOfficeCa() {
        if (HostSystem::underWine())
            QSKIP("wine's Schannel accepts any certificate when it checks it against the system "
                  "store itself");
        FtpClient ftp;
        configure(ftp, m_tlsServer, true);
        ftp.setCaFile(QString());
        QCOMPARE(ftp.connectToServer(), FtpClient::ErrorCertificate);
    }

    void caFileIsFoundInFoldersWithNonAsciiNames() {
        // One name a Western ANSI code page can spell, one it cannot.
        for (const QString& folder :
             {QStringLiteral("B\u00fcro"), QStringLiteral("\u041e\u0444\u0438\u0441")}) {
            QVERIFY(QDir(m_local.path()).mkpath(folder));
            const QString caFile = m_local.filePath(folder + QStringLiteral("/ca.pem"));
            QVERIFY(QFile::copy(m_tlsServer.caFile(), caFile));
            FtpClient ftp;
            configure(ftp, m_tlsServer, true);
            ftp.setCaFile(caFile);
            QVERIFY2(ftp.connectToServer() == 0, qPrintable(ftp.errorDescription()));
            ftp.disconnectFromServer();
        }
    }

    void refusedProtPNamesThatStep() {
        FtpServerFixture server;
        server.addUser(User, Password);
        server.setTls(FtpServerFixture::Tls::OwnCa);
        server.setRefuseProt(true);
        QVERIFY(server.start());
        FtpClient ftp;
        configure(ftp, server, true);
        QCOMPARE(ftp.connectToServer(), FtpClient::ErrorTlsRefused);
        QCOMPARE(ftp.errorDescription(),
                 QString("The FTP server does not encrypt data connections (PROT P refused): 536 "
                         "Requested PROT level not supported by mechanism."));
    }

    // In active mode libcurl's first message is a harmless one from setting up the data
    // connection, and it closes the connection it accepted without telling.
    void brokenTransfersNameTheServersReply_data() {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("passive");
        QTest::newRow("plain") << false << true;
        QTest::newRow("TLS") << true << true;
        QTest::newRow("plain, active") << false << false;
    }
    void brokenTransfersNameTheServersReply() {
        QFETCH(bool, tls);
        QFETCH(bool, passive);
        if (tls && HostSystem::underWine())
            QSKIP("Schannel gives no way to read a reply libcurl leaves unread");
        const QString reply = QStringLiteral("452 Insufficient storage space in system.");
        FtpServerFixture server;
        server.addUser(User, Password);
        server.makeFolder(QStringLiteral("store"));
        server.setTls(FtpServerFixture::Tls::OwnCa);
        server.setCutTransfers(64 * 1024, reply);
        server.writeFile(QStringLiteral("store/big.bin"), QByteArray(256 * 1024, 'd'));
        QVERIFY(server.start());
        // More than the sockets' buffers hold: the upload is still sending when it breaks.
        const QString up = m_local.filePath(QStringLiteral("broken.bin"));
        QFile f(up);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(48 * 1024 * 1024));
        f.close();

        FtpClient ftp;
        configure(ftp, server, tls);
        ftp.setPassiveMode(passive);
        QCOMPARE(ftp.connectToServer(), 0);
        QVERIFY(ftp.sendFile(up, 0, QStringLiteral("\\store\\broken.bin"), false) != 0);
        QVERIFY2(ftp.errorDescription().endsWith(": " + reply), qPrintable(ftp.errorDescription()));
        QCOMPARE(ftp.connectToServer(), 0);
        QVERIFY(ftp.receiveFile(QStringLiteral("\\store\\big.bin"), 0, up) != 0);
        QVERIFY2(ftp.errorDescription().endsWith(": " + reply), qPrintable(ftp.errorDescription()));
    }

    void withoutTlsTheSameServerSpeaksPlainFtp_data() {
        servers();
    }
    void withoutTlsTheSameServerSpeaksPlainFtp() {
        QFETCH(bool, vsftpd);
        FtpServerFixture& server = tlsServer(vsftpd);
        const QString up = m_local.filePath(QStringLiteral("plain.txt"));
        QFile f(up);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("plain\r\n");
        f.close();
        FtpClient ftp;
        ProtocolLog log(ftp);
        configure(ftp, server, false);
        QCOMPARE(ftp.connectToServer(), 0);
        QCOMPARE(ftp.sendFile(up, 0, QStringLiteral("\\store\\plain.txt"), false), 0);
        ftp.disconnectFromServer();
        QCOMPARE(server.readFile(QStringLiteral("store/plain.txt")), QByteArray("plain\r\n"));
        QCOMPARE(log.indexOf(QStringLiteral("AUTH")), -1);
        QCOMPARE(log.indexOf(QStringLiteral("PROT")), -1);
        QVERIFY(log.indexOf(QStringLiteral("USER store")) >= 0);
    }

    void activeModeOverTlsWorksOrFailsAtOnce() {
        const QString down = m_local.filePath(QStringLiteral("active.bin"));
        m_tlsServer.writeFile(QStringLiteral("store/active.bin"), "active");
        FtpClient ftp;
        configure(ftp, m_tlsServer, true);
        QCOMPARE(ftp.connectToServer(), 0);
        ftp.setPassiveMode(false);
        const int result = ftp.receiveFile(QStringLiteral("\\store\\active.bin"), 0, down);
        if (FtpTls::activeModeProblem().isEmpty()) {
            QCOMPARE(result, 0);
        } else {
            // Refused before it starts: that libcurl would wait for the inactivity limit.
            QCOMPARE(result, FtpClient::ErrorNotBuiltIn);
            QVERIFY(ftp.errorDescription().contains(QLatin1String("passive mode")));
            QVERIFY(!QFile::exists(down));
        }
        ftp.disconnectFromServer();
    }
};

QTEST_GUILESS_MAIN(TestFtpTls)
#include "test_ftptls.moc"
