#include "tests/support/ftpserverfixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtDebug>

namespace {
const QString Python = QStringLiteral("/usr/bin/python3"); // Debian's, which sees pyftpdlib
constexpr int StartTimeoutMs = 15000;
} // namespace

FtpServerFixture::FtpServerFixture() : m_root(m_tempRoot.path()) {}

FtpServerFixture::~FtpServerFixture() {
    stop();
}

QString FtpServerFixture::scriptPath() {
    return QStringLiteral(SKYVANE_FTP_SERVER_SCRIPT);
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

void FtpServerFixture::setEagerEpsv(bool eager) {
    m_eagerEpsv = eager;
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
    QJsonObject config{{QStringLiteral("root"), m_root},
                       {QStringLiteral("users"), users},
                       {QStringLiteral("refusePassive"), m_refusePassive},
                       {QStringLiteral("eagerEpsv"), m_eagerEpsv}};
    if (m_dropAfterPwd)
        config.insert(QStringLiteral("dropAfterPwd"), true);
    if (m_dropAfterLoginMs >= 0)
        config.insert(QStringLiteral("dropAfterLogin"), m_dropAfterLoginMs / 1000.0);
    if (m_idleTimeoutMs >= 0)
        config.insert(QStringLiteral("idleTimeout"), m_idleTimeoutMs / 1000.0);
    if (m_stallDownloadAfter >= 0)
        config.insert(QStringLiteral("stallDownload"), m_stallDownloadAfter);
    if (m_tls != Tls::Off)
        config.insert(QStringLiteral("tls"),
                      QJsonObject{{QStringLiteral("folder"), m_tlsFolder.path()},
                                  {QStringLiteral("otherCa"), m_tls == Tls::OtherCa}});

    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setReadChannel(QProcess::StandardOutput);
    m_process.start(
        Python,
        {scriptPath(), QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact))});
    if (!m_process.waitForStarted(StartTimeoutMs)) {
        qWarning() << "FTP server fixture: cannot start" << Python << m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!m_process.canReadLine()) {
        if (m_process.state() != QProcess::Running ||
            !m_process.waitForReadyRead(int(deadline.remainingTime())) || deadline.hasExpired()) {
            if (m_process.canReadLine())
                break;
            qWarning() << "FTP server fixture: server did not start:"
                       << m_process.readAllStandardError();
            stop();
            return false;
        }
    }
    const QByteArray line = m_process.readLine().trimmed();
    m_port = line.startsWith("PORT ") ? quint16(line.mid(5).toUInt()) : 0;
    if (m_port == 0) {
        qWarning() << "FTP server fixture: unexpected first line" << line;
        stop();
        return false;
    }
    return true;
}

void FtpServerFixture::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    m_port = 0;
}

bool FtpServerFixture::isRunning() const {
    return m_process.state() == QProcess::Running;
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
