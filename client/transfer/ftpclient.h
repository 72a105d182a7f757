#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

class QEventLoop;
class QSocketNotifier;
class QTimer;
namespace TlsPlatform {
struct ConnectionWatch;
}

// The client's FTP component: logs in, uploads and downloads one file at a time, and reports
// through the Ftp* signals. Everything runs on the thread that owns it (the GUI thread); libcurl
// is driven by socket notifiers and timers of the Qt event loop.
//
// Errors: every operation sets errorNumber() (0 success, otherwise a libcurl error code) and
// errorDescription(), which ends with the server's own reply where it gave one, also one given
// as a transfer's data connection broke. A transfer started with transferModeFlag() true returns
// 0 once it is under way; when it ends, errorNumber() holds its outcome, set before FtpCompleted
// fires.
class FtpClient : public QObject {
    Q_OBJECT
public:
    // An operation in which nothing moves for this long ends with an error: no protocol line,
    // no byte through libcurl, and nothing more taken by the other side of an upload's data
    // connection (which goes on draining a slow line after libcurl's last byte).
    static constexpr int InactivityLimitSeconds = 120;

    // Error numbers the component sets itself (libcurl's numbering).
    static constexpr int ErrorUrlMalformat = 3; // no server address, bad remote path
    static constexpr int ErrorNotBuiltIn = 4;   // active mode over TLS with a faulty libcurl
    static constexpr int ErrorWriteLocal = 23;  // local file cannot be written
    static constexpr int ErrorReadLocal = 26;   // local file missing or unreadable
    static constexpr int ErrorTimedOut = 28;    // inactivity limit reached
    static constexpr int ErrorAborted = 42;     // abort flag set
    static constexpr int ErrorLoginDenied = 67; // refused login, no user name
    static constexpr int ErrorBusy = 89;        // an operation is still under way
    // TLS failures (libcurl sets them).
    static constexpr int ErrorCertificate = 60; // the server's certificate did not verify
    static constexpr int ErrorTlsRefused = 64;  // the server refused AUTH TLS
    static constexpr int ErrorCaFile = 77;      // the CA file cannot be read

    explicit FtpClient(QObject* parent = nullptr);
    ~FtpClient() override;

    // Connection values, read by every following operation. A server address "host:port"
    // overrides the port property.
    void setServerAddress(const QString& address);
    QString serverAddress() const;
    void setUserName(const QString& user);
    QString userName() const;
    void setPassword(const QString& password);
    void setPort(qint16 port);
    qint16 port() const;
    void setPassiveMode(bool passive);
    bool passiveMode() const;
    // Explicit FTP over TLS (AUTH TLS, PBSZ 0, PROT P), never falling back to clear text. The
    // server's certificate is verified against the system's trust store, or against caFile
    // alone when one is given.
    void setTls(bool on);
    bool tls() const;
    void setCaFile(const QString& caFile);
    QString caFile() const;

    // false: transfers return when they have ended. true: they return once started.
    // Connect and disconnect always return when they are done.
    void setTransferModeFlag(bool returnAtOnce);
    bool transferModeFlag() const;

    // Logs in (USER, PASS); the following transfers reuse this login.
    int connectToServer();
    // Closes the control connection with QUIT; nothing happens when none is open.
    int disconnectFromServer();

    // Remote paths use "\" or "/"; a leading separator starts at the account's root, otherwise
    // the path is relative to the login folder. The integer and the flag are passed by the
    // callers unchanged and carry no meaning here.
    int sendFile(const QString& localPath, int reserved, const QString& remotePath,
                 bool reservedFlag);
    // The local file is replaced only by a complete download; a failed one leaves it as it was.
    int receiveFile(const QString& remotePath, int reserved, const QString& localPath);

    // True from the start of an operation until its outcome is in errorNumber().
    bool isBusy() const;

    // Whether the server answered the last transfer's STOR or RETR with its go-ahead (150 or
    // 125): from then on bytes may have reached it, and trying again sends them again.
    bool transferStarted() const;

    // True while the control connection is open. Noticing here that the server has closed it
    // fires FtpDisconnected.
    bool isConnected();

    // Set true, ends the running operation at once and makes every further operation fail with
    // ErrorAborted until set false again.
    void setAbort(bool abort);
    bool abort() const;

    int errorNumber() const;
    QString errorDescription() const;

    // Tests shorten the inactivity limit.
    void setInactivityLimitMs(int ms);
    int inactivityLimitMs() const;

    // The URL path libcurl receives for a remote path (segments percent-encoded); empty when
    // the path names no file.
    static QByteArray remoteUrlPath(const QString& remotePath);

signals:
    // A transfer fires FtpSendingFile or FtpReceivingFile when it starts, FtpLogText and
    // FtpTransferStatus while it runs (a last status at its end) and FtpCompleted when it ends,
    // also when it failed. FtpDisconnected fires when an open connection closes: disconnect,
    // the server closing it, or a failed transfer that lost it. No signal is emitted from
    // inside libcurl, so handlers may run the event loop.
    void FtpDisconnected();
    // total: bytes expected for the transfer, 0 when not known; rate in bytes per second.
    void FtpTransferStatus(qint64 total, qint64 transferred, qint64 rate);
    // One protocol line, with the password masked.
    void FtpLogText(const QString& text);
    void FtpCompleted();
    void FtpReceivingFile(const QString& remotePath);
    void FtpSendingFile(const QString& localPath);

private:
    struct Operation;
    enum class Kind { Login, Quit, Upload, Download };

    int startOperation(std::unique_ptr<Operation> op);
    int fail(int code, const QString& description);
    void setResult(int code, const QString& description);
    bool prepareEasy(Operation& op);
    void finishOperation(int code, const QString& description, bool dropConnection);
    static QString failureDescription(const Operation& op, int code);
    static void noteReply(Operation& op, const QString& line);
    static bool transferComplete(const Operation& op);
    // The end held back from libcurl (TransferEnd): true when libcurl may go on.
    bool transferEndMayGo(Operation& op);
    void checkEndSoon();
    qintptr controlSocket(const Operation& op) const;
    static void* dataTlsObject(const Operation& op);
    void noteAcknowledged(Operation& op);
    void waitForOperation();

    void drive(qintptr socket, int eventMask);
    void checkFinished();
    void periodicCheck();
    void noteStatus();
    void queueStatus(Operation& op);
    void queueEvent(std::function<void()> event);
    void flushEvents();

    void createMulti();
    void dropMulti();
    void releaseIdleHandle();
    qintptr idleSocket() const;
    bool idleConnectionLost();
    void watchIdleConnection();
    void connectionLost();

    // Called by the libcurl callbacks (never emit signals from inside libcurl).
    friend struct FtpCurlGlue;
    void updateWatch(qintptr socket, int what);
    void logProtocol(void* easy, bool outgoing, const char* data, size_t size);
    void noteProgress(qint64 total, qint64 now);
    void socketOpened(qintptr socket, bool connecting);
    void socketClosing(qintptr socket);

    struct Login {
        QString server;
        QString user;
        QString password;
        qint16 port = 21;
        bool tls = false;
        QString caFile;
    };

    struct SocketWatch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    QString m_server;
    QString m_user;
    QString m_password;
    qint16 m_port = 21;
    bool m_passive = true;
    bool m_tls = false;
    QString m_caFile;
    bool m_returnAtOnce = false;
    bool m_abort = false;
    int m_inactivityLimitMs = InactivityLimitSeconds * 1000;

    int m_error = 0;
    QString m_errorText;
    bool m_transferStarted = false;

    void* m_multi = nullptr;
    // TLS sessions shared by every handle this component makes: a data connection resumes the
    // control connection's session, which many servers require.
    void* m_share = nullptr;
    // Tells the running transfer of the TLS connections libcurl opens (its data connection's).
    std::unique_ptr<TlsPlatform::ConnectionWatch> m_tlsWatch;
    void* m_idleEasy = nullptr; // finished handle kept in the multi handle: it knows the socket
    bool m_connected = false;
    Login m_connectedLogin; // the values of the open connection, which QUIT reuses
    QSocketNotifier* m_idleWatch = nullptr;
    QHash<qintptr, SocketWatch> m_watches;
    QList<qintptr> m_sockets; // libcurl's sockets, some perhaps closed without telling us
    QTimer* m_curlTimer;
    QTimer* m_pollTimer;
    int m_endCheckMs = 0; // how soon a held upload end is looked at again
    std::unique_ptr<Operation> m_op;
    QEventLoop* m_loop = nullptr;
    int m_curlDepth = 0;

    std::deque<std::function<void()>> m_events;
    bool m_flushing = false;
};
