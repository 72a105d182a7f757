#include "tests/support/ftpserverfixture.h"

#include "tests/support/hostsystem.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtDebug>

namespace {
constexpr int StartTimeoutMs = 15000;
} // namespace

FtpServerFixture::FtpServerFixture(Daemon daemon) : m_daemon(daemon), m_root(m_tempRoot.path()) {}

FtpServerFixture::~FtpServerFixture() {
    stop();
}

QString FtpServerFixture::scriptPath(Daemon daemon) {
    return daemon == Daemon::Vsftpd ? QStringLiteral(SKYVANE_VSFTPD_SCRIPT)
                                    : QStringLiteral(SKYVANE_FTP_SERVER_SCRIPT);
}

void FtpServerFixture::addUser(const QString& name, const QString& password, bool readOnly,
                               const QString& loginFolder) {
    m_users.append({name, password, readOnly, loginFolder});
}

void FtpServerFixture::setRootFolder(const QString& folder) {
    m_root = QDir(folder).absolutePath();
}

void FtpServerFixture::setRefusePassive(bool refuse) {
    m_refusePassive = refuse;
}

void FtpServerFixture::setDropAfterLoginMs(int ms) {
    m_dropAfterLoginMs = ms;
}

void FtpServerFixture::setDropAfterPwd(bool drop) {
    m_dropAfterPwd = drop;
}

void FtpServerFixture::setIdleTimeoutMs(int ms) {
    m_idleTimeoutMs = ms;
}

void FtpServerFixture::setStallDownloadAfter(qint64 bytes) {
    m_stallDownloadAfter = bytes;
}

void FtpServerFixture::setStallUploadAfter(qint64 bytes) {
    m_stallUploadAfter = bytes;
}

void FtpServerFixture::setHoldFinalReplyMs(int ms) {
    m_holdFinalReplyMs = ms;
}

void FtpServerFixture::setReadLimit(int bytesPerSecond) {
    m_readLimit = bytesPerSecond;
}

void FtpServerFixture::setEagerEpsv(bool eager) {
    m_eagerEpsv = eager;
}

void FtpServerFixture::setCutTransfers(qint64 afterBytes, const QString& reply) {
    m_cutAfter = afterBytes;
    m_cutReply = reply;
}

void FtpServerFixture::setRefuseProt(bool refuse) {
    m_refuseProt = refuse;
}

void FtpServerFixture::setTls(Tls tls) {
    m_tls = tls;
}

QString FtpServerFixture::caFile() const {
    return m_tlsFolder.filePath(QStringLiteral("ca.pem"));
}

bool FtpServerFixture::start() {
    stop();
    QJsonArray users;
    for (const User& u : std::as_const(m_users)) {
        QJsonObject o{{QStringLiteral("name"), u.name},
                      {QStringLiteral("password"), u.password},
                      {QStringLiteral("readOnly"), u.readOnly}};
        if (!u.loginFolder.isEmpty())
            o.insert(QStringLiteral("loginFolder"), u.loginFolder);
        users.append(o);
    }
    // The server reports its port over a connection to us and ends when we close it (or end).
    QTcpServer control;
    if (!control.listen(QHostAddress::LocalHost)) {
        qWarning() << "FTP server fixture: no control port:" << control.errorString();
        return false;
    }
    QJsonObject config{{QStringLiteral("root"), HostSystem::hostPath(m_root)},
                       {QStringLiteral("users"), users},
                       {QStringLiteral("refusePassive"), m_refusePassive},
                       {QStringLiteral("eagerEpsv"), m_eagerEpsv},
                       {QStringLiteral("control"), int(control.serverPort())}};
    if (m_dropAfterPwd)
        config.insert(QStringLiteral("dropAfterPwd"), true);
    if (m_dropAfterLoginMs >= 0)
        config.insert(QStringLiteral("dropAfterLogin"), m_dropAfterLoginMs / 1000.0);
    if (m_idleTimeoutMs >= 0)
        config.insert(QStringLiteral("idleTimeout"), m_idleTimeoutMs / 1000.0);
    if (m_cutAfter >= 0)
        config.insert(QStringLiteral("cutTransfers"),
                      QJsonObject{{QStringLiteral("after"), m_cutAfter},
                                  {QStringLiteral("reply"), m_cutReply}});
    if (m_refuseProt)
        config.insert(QStringLiteral("refuseProt"), true);
    if (m_stallDownloadAfter >= 0)
        config.insert(QStringLiteral("stallDownload"), m_stallDownloadAfter);
    if (m_stallUploadAfter >= 0)
        config.insert(QStringLiteral("stallUpload"), m_stallUploadAfter);
    if (m_holdFinalReplyMs > 0)
        config.insert(QStringLiteral("holdFinalReply"), m_holdFinalReplyMs / 1000.0);
    if (m_readLimit > 0)
        config.insert(QStringLiteral("readLimit"), m_readLimit);
    if (m_tls != Tls::Off)
        config.insert(
            QStringLiteral("tls"),
            QJsonObject{{QStringLiteral("folder"), HostSystem::hostPath(m_tlsFolder.path())},
                        {QStringLiteral("otherCa"), m_tls == Tls::OtherCa}});

    // Detached: its errors reach the test's output directly, and its life is the connection's.
    const QStringList arguments{
        scriptPath(m_daemon),
        QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact))};
    if (!QProcess::startDetached(HostSystem::python(), arguments)) {
        qWarning() << "FTP server fixture: cannot start" << HostSystem::python();
        return false;
    }
    const QDeadlineTimer deadline(StartTimeoutMs);
    if (!control.waitForNewConnection(int(deadline.remainingTime()))) {
        qWarning() << "FTP server fixture: the server did not start (see its output above)";
        return false;
    }
    m_control.reset(control.nextPendingConnection());
    m_control->setParent(nullptr);
    while (!m_control->canReadLine() && !deadline.hasExpired())
        m_control->waitForReadyRead(int(deadline.remainingTime()));
    const QByteArray line = m_control->readLine().trimmed();
    m_port = line.startsWith("PORT ") ? quint16(line.mid(5).toUInt()) : 0;
    if (m_port == 0) {
        qWarning() << "FTP server fixture: unexpected first line" << line;
        stop();
        return false;
    }
    return true;
}

void FtpServerFixture::stop() {
    if (m_control) {
        // Any byte ends the server; its end closes the connection.
        m_control->write("stop\n");
        m_control->flush();
        if (m_control->state() == QAbstractSocket::ConnectedState)
            m_control->waitForDisconnected(5000);
        m_control.reset();
    }
    m_port = 0;
}

bool FtpServerFixture::isRunning() const {
    return m_control && m_control->state() == QAbstractSocket::ConnectedState;
}

quint16 FtpServerFixture::port() const {
    return m_port;
}

QString FtpServerFixture::address() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString FtpServerFixture::rootPath() const {
    return m_root;
}

QString FtpServerFixture::filePath(const QString& relative) const {
    return QDir(m_root).filePath(relative);
}

void FtpServerFixture::writeFile(const QString& relative, const QByteArray& content) const {
    const QString path = filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
}

QByteArray FtpServerFixture::readFile(const QString& relative) const {
    QFile f(filePath(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool FtpServerFixture::exists(const QString& relative) const {
    return QFileInfo::exists(filePath(relative));
}

void FtpServerFixture::makeFolder(const QString& relative) const {
    QDir().mkpath(filePath(relative));
}
