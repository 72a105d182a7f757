#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class QTcpSocket;

// A real FTP server on 127.0.0.1 and a free port, for one test or one test class: pyftpdlib,
// which can be made to misbehave, or Debian's vsftpd as offices run it (tests/support/
// vsftpdserver.py; it offers users, the root folder and TLS, nothing else, and needs root).
// Every user sees the root folder as "/". Configure, start(), use address() as the client's
// server address, stop() (or let the destructor do it). The server is started through Debian's
// python3, also for a Windows test program under wine, and ends with the test process, so an
// aborted test leaves none behind.
class FtpServerFixture {
public:
    enum class Daemon { Python, Vsftpd };

    explicit FtpServerFixture(Daemon daemon = Daemon::Python);
    ~FtpServerFixture();

    // Before start(): users, and how the server misbehaves.
    // loginFolder: the folder a login starts in ("/" unless given, e.g. "/home").
    void addUser(const QString& name, const QString& password, bool readOnly = false,
                 const QString& loginFolder = QString());
    // Serve this folder instead of a fresh temporary one.
    void setRootFolder(const QString& folder);
    // PASV and EPSV are answered with 502.
    void setRefusePassive(bool refuse);
    // This long after a login the server sends "421" and closes the connection.
    void setDropAfterLoginMs(int ms);
    // Every connection closes right after its reply to PWD, the last step of a login: the
    // client holds a login that is already gone.
    void setDropAfterPwd(bool drop);
    // A control connection silent for this long gets "421" and is closed.
    void setIdleTimeoutMs(int ms);
    // Downloads send this many bytes and then nothing, keeping the data connection open.
    void setStallDownloadAfter(qint64 bytes);
    // Uploads are read up to this many bytes and then no further.
    void setStallUploadAfter(qint64 bytes);
    // The reply that ends a transfer (226) comes this long after its end.
    void setHoldFinalReplyMs(int ms);
    // Uploads are read at this many bytes a second (plain FTP only).
    void setReadLimit(int bytesPerSecond);
    // The EPSV reply travels in one write with the reply to the CWD before it.
    void setEagerEpsv(bool eager);
    // After this many bytes of a transfer the server sends reply and drops the data connection
    // (an upload with a reset, a download with a close once the bytes so far have left).
    void setCutTransfers(qint64 afterBytes, const QString& reply);
    // PROT P is refused with 536.
    void setRefuseProt(bool refuse);
    // AUTH TLS is offered (plain FTP still works), with a certificate for 127.0.0.1 made at
    // start() and signed by the CA of caFile(), or by another CA whose file is kept nowhere.
    enum class Tls { Off, OwnCa, OtherCa };
    void setTls(Tls tls);
    // After start() with TLS: the PEM file of the server's CA, for the client's CA file.
    QString caFile() const;

    // Starts the server and waits until it listens; false (with a warning) when it cannot.
    bool start();
    void stop();
    bool isRunning() const;

    quint16 port() const;
    QString address() const; // "127.0.0.1:port"
    QString rootPath() const;

    // Files below the root, by a "/"-separated relative path.
    QString filePath(const QString& relative) const;
    void writeFile(const QString& relative, const QByteArray& content) const;
    QByteArray readFile(const QString& relative) const;
    bool exists(const QString& relative) const;
    void makeFolder(const QString& relative) const;

    // The script, for programs that run the server themselves (bench, demo).
    static QString scriptPath(Daemon daemon = Daemon::Python);

private:
    struct User {
        QString name;
        QString password;
        bool readOnly;
        QString loginFolder;
    };

    Daemon m_daemon;
    QTemporaryDir m_tempRoot;
    QString m_root;
    QList<User> m_users;
    bool m_refusePassive = false;
    int m_dropAfterLoginMs = -1;
    int m_idleTimeoutMs = -1;
    bool m_dropAfterPwd = false;
    qint64 m_stallDownloadAfter = -1;
    qint64 m_stallUploadAfter = -1;
    int m_holdFinalReplyMs = 0;
    int m_readLimit = 0;
    bool m_eagerEpsv = false;
    qint64 m_cutAfter = -1;
    QString m_cutReply;
    bool m_refuseProt = false;
    Tls m_tls = Tls::Off;
    QTemporaryDir m_tlsFolder;
    std::unique_ptr<QTcpSocket> m_control; // the running server's connection to us
    quint16 m_port = 0;
};
