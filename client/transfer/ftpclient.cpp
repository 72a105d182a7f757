#include "client/transfer/ftpclient.h"

#include "client/foundation/ansitext.h"
#include "client/foundation/clock.h"
#include "client/foundation/replacingfile.h"
#include "client/transfer/controlreply.h"
#include "client/transfer/datasocket.h"
#include "client/transfer/ftptls.h"
#include "client/transfer/stallwatch.h"
#include "client/transfer/tlsplatform.h"
#include "client/transfer/transferend.h"

#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <curl/curl.h>

#include <optional>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <unistd.h>
#endif

namespace {

// While a transfer runs libcurl is also driven from this timer: libcurl 7.88 may read the EPSV
// reply in the same pass that sent EPSV and then never asks for the data socket, so socket
// events alone would leave the transfer waiting.
constexpr int PollIntervalMs = 25;
// Transfer status events at most this often (and once at the end).
constexpr int StatusIntervalMs = 100;
// libcurl would replace a login idle for longer than its default 118 s by a new one; the
// callers wait between connect and transfer as long as they like.
constexpr long MaxConnectionAgeSeconds = 24 * 3600;
constexpr long BufferSize = 256 * 1024;

void initCurlOnce() {
    static const bool done = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    Q_UNUSED(done);
}

// How long a transfer whose data connection broke waits for the server's reply to it.
constexpr int ReplyWaitMs = 1000;

// host:port for the URL: an address that carries its own port keeps it.
QByteArray hostAndPort(QString server, qint16 port) {
    server = server.trimmed();
    if (server.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
        server = server.mid(6);
    while (server.endsWith(QLatin1Char('/')))
        server.chop(1);
    const int usePort = port > 0 ? port : 21;
    const QString portText = QString::number(usePort);
    if (server.startsWith(QLatin1Char('['))) {
        if (server.contains(QLatin1String("]:")))
            return server.toUtf8();
        return (server + QLatin1Char(':') + portText).toUtf8();
    }
    const int colons = server.count(QLatin1Char(':'));
    if (colons == 1)
        return server.toUtf8();
    if (colons > 1) // a bare IPv6 address
        return (QLatin1Char('[') + server + QLatin1String("]:") + portText).toUtf8();
    return (server + QLatin1Char(':') + portText).toUtf8();
}

} // namespace

struct FtpClient::Operation {
    Kind kind;
    Login login;
    CURL* easy = nullptr;
    QString remotePath;
    QString localPath;
    QFile source;
    ReplacingFile target{QString()};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    qint64 total = 0;
    qint64 now = 0;
    qint64 reportedNow = 0;
    QString lastCommand;
    QString errorReply;        // the server's last reply, when it was a 4xx or 5xx
    QString unreadReply;       // its reply to a broken transfer, which libcurl did not read
    int controlLocalPort = -1; // the control connection's ports, known once the request starts
    int controlRemotePort = -1;
    qintptr dataSocket = -1;      // the last socket opened after that: the data connection's
    QList<void*> tlsOpened;       // the TLS connections opened meanwhile
    bool tlsHandshakeDue = false; // AUTH TLS accepted, the next command follows the handshake
    bool transferStarted = false; // the server's 150 or 125
    std::optional<StallWatch> stall;
    TransferEnd end;
    QElapsedTimer lastStatus;

    explicit Operation(Kind k) : kind(k) {}
    bool isTransfer() const {
        return kind == Kind::Upload || kind == Kind::Download;
    }
};

struct FtpCurlGlue {
    static int socket(CURL*, curl_socket_t s, int what, void* client, void*) {
        static_cast<FtpClient*>(client)->updateWatch(qintptr(s), what);
        return 0;
    }
    static int timer(CURLM*, long timeoutMs, void* client) {
        auto* self = static_cast<FtpClient*>(client);
        if (timeoutMs < 0)
            self->m_curlTimer->stop();
        else
            self->m_curlTimer->start(int(qMin(timeoutMs, long(INT_MAX))));
        return 0;
    }
    static int debug(CURL* easy, curl_infotype type, char* data, size_t size, void* client) {
        if (type == CURLINFO_HEADER_IN || type == CURLINFO_HEADER_OUT)
            static_cast<FtpClient*>(client)->logProtocol(easy, type == CURLINFO_HEADER_OUT, data,
                                                         size);
        return 0;
    }
    static size_t read(char* buffer, size_t size, size_t count, void* client) {
        auto* op = static_cast<FtpClient*>(client)->m_op.get();
        if (!op)
            return CURL_READFUNC_ABORT;
        // The file's end (libcurl is not told its size, so it asks beyond it) is held back
        // until the server's reply is there: TransferEnd.
        const qint64 left = op->total - op->source.pos();
        if (left <= 0) {
            const bool held = op->end.pending();
            if (!op->end.holdUpload())
                return 0;
            if (!held)
                static_cast<FtpClient*>(client)->checkEndSoon();
            return CURL_READFUNC_PAUSE;
        }
        const qint64 got = op->source.read(buffer, qMin(left, qint64(size * count)));
        return got < 0 ? CURL_READFUNC_ABORT : size_t(got);
    }
    static size_t write(char* buffer, size_t size, size_t count, void* client) {
        auto* op = static_cast<FtpClient*>(client)->m_op.get();
        if (!op)
            return 0;
        const qint64 put = op->target.write(buffer, qint64(size * count));
        return put < 0 ? 0 : size_t(put);
    }
    static int socketOpened(void* client, curl_socket_t socket, curlsocktype purpose) {
        static_cast<FtpClient*>(client)->socketOpened(qintptr(socket),
                                                      purpose == CURLSOCKTYPE_IPCXN);
        return CURL_SOCKOPT_OK;
    }
    static void tlsOpened(void* client, void* tlsObject) {
        if (auto* op = static_cast<FtpClient*>(client)->m_op.get()) {
            if (!op->tlsOpened.contains(tlsObject))
                op->tlsOpened.append(tlsObject);
        }
    }
    static int connected(void* client, char*, char*, int remotePort, int localPort) {
        if (auto* op = static_cast<FtpClient*>(client)->m_op.get()) {
            op->controlLocalPort = localPort;
            op->controlRemotePort = remotePort;
        }
        return CURL_PREREQFUNC_OK;
    }
    static int closeSocket(void* client, curl_socket_t socket) {
        static_cast<FtpClient*>(client)->socketClosing(qintptr(socket));
#ifdef Q_OS_WIN
        return closesocket(socket);
#else
        return ::close(socket);
#endif
    }
    static int progress(void* client, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                        curl_off_t ulnow) {
        auto* self = static_cast<FtpClient*>(client);
        if (self->m_op && self->m_op->kind == FtpClient::Kind::Upload)
            self->noteProgress(ultotal, ulnow);
        else
            self->noteProgress(dltotal, dlnow);
        return 0;
    }
};

FtpClient::FtpClient(QObject* parent)
    : QObject(parent), m_tlsWatch(new TlsPlatform::ConnectionWatch{&FtpCurlGlue::tlsOpened, this}),
      m_curlTimer(new QTimer(this)), m_pollTimer(new QTimer(this)) {
    initCurlOnce();
    m_share = curl_share_init();
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    m_curlTimer->setSingleShot(true);
    connect(m_curlTimer, &QTimer::timeout, this, [this] { drive(CURL_SOCKET_TIMEOUT, 0); });
    m_pollTimer->setInterval(PollIntervalMs);
    connect(m_pollTimer, &QTimer::timeout, this, &FtpClient::periodicCheck);
}

FtpClient::~FtpClient() {
    if (const std::unique_ptr<Operation> op = std::move(m_op)) {
        // Taken out while running: libcurl closes that connection without waiting for QUIT.
        curl_multi_remove_handle(m_multi, op->easy);
        curl_easy_cleanup(op->easy);
    }
    dropMulti();
    // Only once no handle uses it any more.
    curl_share_cleanup(m_share);
}

void FtpClient::setServerAddress(const QString& address) {
    m_server = address;
}

QString FtpClient::serverAddress() const {
    return m_server;
}

void FtpClient::setUserName(const QString& user) {
    m_user = user;
}

QString FtpClient::userName() const {
    return m_user;
}

void FtpClient::setPassword(const QString& password) {
    m_password = password;
}

void FtpClient::setPort(qint16 port) {
    m_port = port;
}

qint16 FtpClient::port() const {
    return m_port;
}

void FtpClient::setPassiveMode(bool passive) {
    m_passive = passive;
}

bool FtpClient::passiveMode() const {
    return m_passive;
}

void FtpClient::setTls(bool on) {
    m_tls = on;
}

bool FtpClient::tls() const {
    return m_tls;
}

void FtpClient::setCaFile(const QString& caFile) {
    m_caFile = caFile;
}

QString FtpClient::caFile() const {
    return m_caFile;
}

void FtpClient::setTransferModeFlag(bool returnAtOnce) {
    m_returnAtOnce = returnAtOnce;
}

bool FtpClient::transferModeFlag() const {
    return m_returnAtOnce;
}

bool FtpClient::abort() const {
    return m_abort;
}

int FtpClient::errorNumber() const {
    return m_error;
}

QString FtpClient::errorDescription() const {
    return m_errorText;
}

void FtpClient::setInactivityLimitMs(int ms) {
    m_inactivityLimitMs = qMax(1, ms);
}

int FtpClient::inactivityLimitMs() const {
    return m_inactivityLimitMs;
}

QByteArray FtpClient::remoteUrlPath(const QString& remotePath) {
    QString path = remotePath.trimmed();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList segments = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (segments.isEmpty() || path.endsWith(QLatin1Char('/')))
        return {};
    // "%2F" as the first segment makes libcurl start from the account's root.
    QByteArray out = path.startsWith(QLatin1Char('/')) ? "/%2F" : "/";
    for (int i = 0; i < segments.size(); ++i) {
        if (i > 0)
            out += '/';
        out += AnsiText::encode(segments[i]).toPercentEncoding();
    }
    return out;
}

int FtpClient::connectToServer() {
    return startOperation(std::make_unique<Operation>(Kind::Login));
}

int FtpClient::disconnectFromServer() {
    if (m_op) {
        if (m_op->kind == Kind::Quit)
            return 0;
        finishOperation(ErrorAborted, tr("Transfer ended by disconnect"), true);
        flushEvents();
    } else if (m_connected) {
        if (m_abort || idleConnectionLost())
            connectionLost();
        else
            startOperation(std::make_unique<Operation>(Kind::Quit));
    } else {
        // Whatever libcurl still keeps (an older login) goes too.
        dropMulti();
    }
    setResult(0, QString());
    return 0;
}

int FtpClient::sendFile(const QString& localPath, int, const QString& remotePath, bool) {
    auto op = std::make_unique<Operation>(Kind::Upload);
    op->localPath = localPath;
    op->remotePath = remotePath;
    return startOperation(std::move(op));
}

int FtpClient::receiveFile(const QString& remotePath, int, const QString& localPath) {
    auto op = std::make_unique<Operation>(Kind::Download);
    op->localPath = localPath;
    op->remotePath = remotePath;
    return startOperation(std::move(op));
}

bool FtpClient::isBusy() const {
    return m_op != nullptr;
}

bool FtpClient::transferStarted() const {
    return m_transferStarted;
}

bool FtpClient::isConnected() {
    if (!m_op && m_connected && idleConnectionLost())
        connectionLost();
    return m_connected;
}

void FtpClient::setAbort(bool abort) {
    m_abort = abort;
    if (abort && m_op && m_curlDepth == 0) {
        finishOperation(ErrorAborted, tr("FTP operation aborted"), true);
        flushEvents();
    }
}

int FtpClient::fail(int code, const QString& description) {
    setResult(code, description);
    return code;
}

void FtpClient::setResult(int code, const QString& description) {
    m_error = code;
    m_errorText = description;
}

int FtpClient::startOperation(std::unique_ptr<Operation> op) {
    if (m_op)
        return fail(ErrorBusy, tr("An FTP operation is still under way"));
    if (op->isTransfer())
        m_transferStarted = false;
    if (m_abort)
        return fail(ErrorAborted, tr("FTP operation aborted"));
    // QUIT goes over the open connection even when the values have changed since.
    op->login = op->kind == Kind::Quit ? m_connectedLogin : Login{m_server, m_user, m_password,
                                                                  m_port,   m_tls,  m_caFile};
    if (op->login.server.trimmed().isEmpty())
        return fail(ErrorUrlMalformat, tr("No FTP server address set"));
    // libcurl would log in as anonymous.
    if (op->login.user.isEmpty())
        return fail(ErrorLoginDenied, tr("No FTP user name set"));

    if (op->isTransfer() && remoteUrlPath(op->remotePath).isEmpty())
        return fail(ErrorUrlMalformat, tr("Remote path names no file: %1").arg(op->remotePath));
    if (op->isTransfer() && op->login.tls && !m_passive) {
        const QString problem = FtpTls::activeModeProblem();
        if (!problem.isEmpty())
            return fail(ErrorNotBuiltIn, problem);
    }
    if (op->kind == Kind::Upload) {
        op->source.setFileName(op->localPath);
        if (!op->source.open(QIODevice::ReadOnly))
            return fail(
                ErrorReadLocal,
                tr("Cannot read local file %1: %2").arg(op->localPath, op->source.errorString()));
        op->total = op->source.size();
    } else if (op->kind == Kind::Download) {
        op->target.setFileName(op->localPath);
        if (!op->target.open())
            return fail(
                ErrorWriteLocal,
                tr("Cannot write local file %1: %2").arg(op->localPath, op->target.errorString()));
    }

    // A cached login the server has closed meanwhile (often with an unread "421") would fail
    // the next transfer at once: start afresh, the transfer logs in again.
    if (m_connected && idleConnectionLost())
        connectionLost();
    releaseIdleHandle();
    if (!m_multi)
        createMulti();
    if (!prepareEasy(*op))
        return fail(ErrorUrlMalformat, tr("Cannot prepare the FTP request"));

    const Kind kind = op->kind;
    const QString eventPath = kind == Kind::Upload ? op->localPath : op->remotePath;
    op->stall.emplace(systemClock(), m_inactivityLimitMs);
    m_op = std::move(op);
    setResult(0, QString());
    curl_multi_add_handle(m_multi, m_op->easy);
    m_pollTimer->start();

    if (kind == Kind::Upload)
        queueEvent([this, eventPath] { emit FtpSendingFile(eventPath); });
    else if (kind == Kind::Download)
        queueEvent([this, eventPath] { emit FtpReceivingFile(eventPath); });
    flushEvents();

    if (kind == Kind::Login || kind == Kind::Quit || !m_returnAtOnce)
        waitForOperation();
    return m_error;
}

bool FtpClient::prepareEasy(Operation& op) {
    CURL* easy = curl_easy_init();
    if (!easy)
        return false;
    op.easy = easy;
    QByteArray url = "ftp://" + hostAndPort(op.login.server, op.login.port);
    url += op.isTransfer() ? remoteUrlPath(op.remotePath) : QByteArray("/");
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_USERNAME, AnsiText::encode(op.login.user).constData());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, AnsiText::encode(op.login.password).constData());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, op.errorBuffer);
    curl_easy_setopt(easy, CURLOPT_SHARE, m_share);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &FtpCurlGlue::socketOpened);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, this);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &FtpCurlGlue::closeSocket);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &FtpCurlGlue::connected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &FtpCurlGlue::debug);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(easy, CURLOPT_FTPPORT, m_passive ? static_cast<const char*>(nullptr) : "-");
    curl_easy_setopt(easy, CURLOPT_MAXAGE_CONN, MaxConnectionAgeSeconds);
    // libcurl's own limits only back up the inactivity limit.
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(m_inactivityLimitMs));
    curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, long(m_inactivityLimitMs));
    curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     long(qMax(1, (m_inactivityLimitMs + 999) / 1000)));
    if (op.login.tls) {
        FtpTls::configure(easy, op.login.caFile);
        // Without it (Schannel) the end of an upload's TLS stream stays libcurl's.
        TlsPlatform::watchConnections(easy, m_tlsWatch.get());
    }

    switch (op.kind) {
    case Kind::Login:
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        break;
    case Kind::Quit:
        // Reuses the login and closes it afterwards, which sends QUIT.
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        break;
    case Kind::Upload:
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &FtpCurlGlue::read);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        // No CURLOPT_INFILESIZE: told the size, libcurl would end the upload by itself.
        curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, BufferSize);
        break;
    case Kind::Download:
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &FtpCurlGlue::write);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, BufferSize);
        break;
    }
    if (op.isTransfer()) {
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &FtpCurlGlue::progress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    }
    return true;
}

void FtpClient::waitForOperation() {
    if (!m_op)
        return;
    QEventLoop loop;
    m_loop = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_loop = nullptr;
}

void FtpClient::drive(qintptr socket, int eventMask) {
    if (!m_multi || m_curlDepth > 0)
        return;
    int running = 0;
    ++m_curlDepth;
    curl_multi_socket_action(m_multi, curl_socket_t(socket), eventMask, &running);
    --m_curlDepth;
    checkFinished();
    noteStatus();
    flushEvents();
}

void FtpClient::periodicCheck() {
    if (!m_op) {
        m_pollTimer->stop();
        return;
    }
    noteAcknowledged(*m_op);
    if (m_abort) {
        finishOperation(ErrorAborted, tr("FTP operation aborted"), true);
    } else if (m_op->stall->stalled()) {
        finishOperation(ErrorTimedOut,
                        tr("FTP transfer stalled: nothing moved for %1 seconds")
                            .arg(QString::number(m_inactivityLimitMs / 1000.0)),
                        true);
    } else if (m_curlDepth == 0) {
        int running = 0;
        ++m_curlDepth;
        if (transferEndMayGo(*m_op))
            curl_easy_pause(m_op->easy, CURLPAUSE_CONT);
        curl_multi_perform(m_multi, &running);
        --m_curlDepth;
        checkFinished();
        noteStatus();
    }
    // A held end is looked at again soon, then less and less often: on a fast line the
    // server's reply follows within a millisecond or two, on a slow one it may take minutes.
    if (m_op && m_op->end.pending())
        m_pollTimer->setInterval(m_endCheckMs = qBound(1, m_endCheckMs * 2, PollIntervalMs));
    else if (m_pollTimer->interval() != PollIntervalMs && m_pollTimer->isActive())
        m_pollTimer->setInterval(PollIntervalMs);
    flushEvents();
}

void FtpClient::checkEndSoon() {
    m_endCheckMs = 0;
    m_pollTimer->start(0);
}

void FtpClient::checkFinished() {
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
        if (msg->msg != CURLMSG_DONE || !m_op || msg->easy_handle != m_op->easy)
            continue;
        const CURLcode code = msg->data.result;
        const QString text = code == CURLE_OK ? QString() : failureDescription(*m_op, code);
        finishOperation(int(code), text, false);
        if (!m_multi)
            break;
    }
}

QString FtpClient::failureDescription(const Operation& op, int code) {
    const QString curlText = QString::fromUtf8(curl_easy_strerror(CURLcode(code)));
    // libcurl's error buffer keeps its first message, which in active mode may be a harmless
    // one from before the failure: the server's own words come first where it said any.
    const QString firstMessage = QString::fromUtf8(op.errorBuffer).trimmed();
    const QString reply = op.unreadReply.isEmpty() ? op.errorReply : op.unreadReply;
    QString text;
    if (!op.unreadReply.isEmpty()) // what broke the transfer, then what the server said
        text = (firstMessage.isEmpty() ? curlText : firstMessage) + QLatin1String(": ") + reply;
    else if (!reply.isEmpty())
        text = curlText + QLatin1String(": ") + reply;
    else
        text = firstMessage.isEmpty() ? curlText : firstMessage;
    const QString tlsText =
        FtpTls::failureText(code, op.lastCommand, reply.isEmpty() ? text : reply);
    return tlsText.isEmpty() ? text : tlsText;
}

void FtpClient::finishOperation(int code, const QString& description, bool dropConnection) {
    std::unique_ptr<Operation> op = std::move(m_op);
    m_pollTimer->stop();
    m_pollTimer->setInterval(PollIntervalMs);
    QString text = description;
    if (op->kind == Kind::Download) {
        if (code == 0 && !op->target.commit()) {
            code = ErrorWriteLocal;
            text =
                tr("Cannot write local file %1: %2").arg(op->localPath, op->target.errorString());
        } else if (code != 0) {
            op->target.cancelWriting();
        }
    }
    if (op->isTransfer()) {
        if (code == 0) {
            curl_off_t done = 0;
            curl_easy_getinfo(op->easy,
                              op->kind == Kind::Upload ? CURLINFO_SIZE_UPLOAD_T
                                                       : CURLINFO_SIZE_DOWNLOAD_T,
                              &done);
            op->now = done;
            if (op->total == 0)
                op->total = done;
            // libcurl, not told the size, cannot check it: a file that shrank ends early.
            if (op->kind == Kind::Upload && done != op->total) {
                code = CURLE_PARTIAL_FILE;
                text = tr("Local file %1 changed while it was sent: %2 of %3 bytes went")
                           .arg(op->localPath, QString::number(done), QString::number(op->total));
            }
        }
        if (op->now != op->reportedNow)
            queueStatus(*op);
        op->source.close();
        m_transferStarted = op->transferStarted;
    }

    const bool wasConnected = m_connected;
    if (dropConnection || op->kind == Kind::Quit) {
        // A handle taken out before it is done closes its connection without QUIT.
        curl_multi_remove_handle(m_multi, op->easy);
        curl_easy_cleanup(op->easy);
        dropMulti();
        m_connected = false;
    } else {
        m_idleEasy = op->easy;
        m_connected = idleSocket() != qintptr(CURL_SOCKET_BAD);
        if (m_connected)
            m_connectedLogin = op->login;
    }
    op->easy = nullptr;

    setResult(code, text);
    if (op->isTransfer())
        queueEvent([this] { emit FtpCompleted(); });
    if (!m_connected && (wasConnected || (op->isTransfer() && code != 0)))
        queueEvent([this] { emit FtpDisconnected(); });
    if (m_connected)
        watchIdleConnection();
    if (m_loop)
        m_loop->quit();
}

void FtpClient::noteProgress(qint64 total, qint64 now) {
    if (!m_op)
        return;
    if (total > 0)
        m_op->total = total;
    m_op->now = now;
    m_op->stall->noteMoved(now);
}

void FtpClient::noteStatus() {
    if (!m_op || !m_op->isTransfer() || m_op->now == m_op->reportedNow)
        return;
    if (m_op->lastStatus.isValid() && m_op->lastStatus.elapsed() < StatusIntervalMs)
        return;
    queueStatus(*m_op);
}

void FtpClient::queueStatus(Operation& op) {
    curl_off_t rate = 0;
    curl_easy_getinfo(op.easy,
                      op.kind == Kind::Upload ? CURLINFO_SPEED_UPLOAD_T : CURLINFO_SPEED_DOWNLOAD_T,
                      &rate);
    const qint64 total = op.total, now = op.now;
    op.reportedNow = now;
    op.lastStatus.start();
    queueEvent([this, total, now, rate] { emit FtpTransferStatus(total, now, rate); });
}

void FtpClient::logProtocol(void* easy, bool outgoing, const char* data, size_t size) {
    if (m_op)
        m_op->stall->noteActivity();
    if (outgoing && m_op && m_op->tlsHandshakeDue) {
        m_op->tlsHandshakeDue = false;
        const QString line = FtpTls::sessionLine(easy);
        queueEvent([this, line] { emit FtpLogText(line); });
    }
    const QString text = AnsiText::decode(QByteArrayView(data, qsizetype(size)));
    for (QString line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        while (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        // These lines reach transact.log, which travels to the central office.
        if (outgoing && line.startsWith(QLatin1String("PASS"), Qt::CaseInsensitive))
            line = QStringLiteral("PASS ****");
        if (outgoing && m_op) {
            m_op->lastCommand = line;
            // Setting up an active data connection leaves a harmless message in libcurl's
            // buffer, which keeps only its first: a failure after PORT must not be told by it.
            if (line.startsWith(QLatin1String("PORT")) || line.startsWith(QLatin1String("EPRT")))
                m_op->errorBuffer[0] = '\0';
        } else if (m_op)
            noteReply(*m_op, line);
        if (!outgoing && m_op && m_op->login.tls && line.startsWith(QLatin1String("234")))
            m_op->tlsHandshakeDue = true;
        queueEvent([this, line] { emit FtpLogText(line); });
    }
}

void FtpClient::noteReply(Operation& op, const QString& line) {
    if (line.startsWith(QLatin1String("150")) || line.startsWith(QLatin1String("125")))
        op.transferStarted = true;
    if (line.startsWith(QLatin1Char('4')) || line.startsWith(QLatin1Char('5')))
        op.errorReply = line;
    else if (line.size() > 3 && line.at(3) == QLatin1Char(' ')) // a later reply went well
        op.errorReply.clear();
}

void FtpClient::socketOpened(qintptr socket, bool connecting) {
    if (connecting) {
        m_sockets.removeAll(socket); // a number reused after a silent close
        m_sockets.append(socket);
    }
    // Once the request has started, a new socket is the data connection (in active mode the
    // listening socket, then the one it accepted).
    if (m_op && m_op->controlLocalPort >= 0)
        m_op->dataSocket = socket;
}

void FtpClient::socketClosing(qintptr socket) {
    m_sockets.removeAll(socket);
    if (m_op && m_op->dataSocket == socket)
        m_op->dataSocket = -1;
    int local = 0, remote = 0;
    ControlReply::ports(socket, local, remote);
    if (!m_op || !m_op->isTransfer() || !m_op->unreadReply.isEmpty() ||
        ControlReply::isListening(socket) || transferComplete(*m_op))
        return;
    const int waitMs = qMin(ReplyWaitMs, m_inactivityLimitMs);
    if (local != m_op->controlLocalPort) {
        // A data connection that broke: libcurl closes the control connection next, unread.
        const qintptr control = controlSocket(*m_op);
        if (control >= 0)
            m_op->unreadReply = ControlReply::peek(m_op->easy, control, m_op->login.tls, waitMs);
    } else if (!m_op->login.tls) {
        // The control connection itself, its reply still unread: libcurl closes a data
        // connection it accepted (active mode) without telling. Over TLS the control
        // connection's TLS is gone by now (and active mode is refused there anyway).
        m_op->unreadReply = ControlReply::peek(m_op->easy, socket, false, waitMs);
    }
}

qintptr FtpClient::controlSocket(const Operation& op) const {
    int local = 0, remote = 0;
    for (const qintptr socket : std::as_const(m_sockets)) {
        if (ControlReply::ports(socket, local, remote) && local == op.controlLocalPort &&
            remote == op.controlRemotePort)
            return socket;
    }
    return -1;
}

void* FtpClient::dataTlsObject(const Operation& op) {
    void* control = TlsPlatform::controlConnection(op.easy);
    for (auto it = op.tlsOpened.crbegin(); it != op.tlsOpened.crend(); ++it) {
        if (*it != control)
            return *it;
    }
    return nullptr;
}

void FtpClient::noteAcknowledged(Operation& op) {
    if (op.kind == Kind::Upload && op.dataSocket >= 0)
        op.stall->noteAcknowledged(DataSocket::taken(op.dataSocket).acknowledged);
}

bool FtpClient::transferEndMayGo(Operation& op) {
    if (!op.end.pending())
        return false;
    TransferEnd::Connection connection;
    connection.easy = op.easy;
    connection.tls = op.login.tls;
    connection.control = controlSocket(op);
    connection.data = op.dataSocket;
    if (op.login.tls)
        connection.dataTls = dataTlsObject(op);
    curl_off_t sent = 0;
    curl_easy_getinfo(op.easy, CURLINFO_SIZE_UPLOAD_T, &sent);
    connection.sent = sent;
    connection.total = op.total;
    return op.end.mayGo(connection);
}

bool FtpClient::transferComplete(const Operation& op) {
    curl_off_t done = 0;
    curl_off_t expected = op.total;
    if (op.kind == Kind::Upload) {
        curl_easy_getinfo(op.easy, CURLINFO_SIZE_UPLOAD_T, &done);
    } else {
        curl_easy_getinfo(op.easy, CURLINFO_SIZE_DOWNLOAD_T, &done);
        curl_easy_getinfo(op.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
    }
    return expected < 0 || done >= expected;
}

void FtpClient::queueEvent(std::function<void()> event) {
    m_events.push_back(std::move(event));
}

void FtpClient::flushEvents() {
    // Handlers may run the event loop and start or end operations: take one at a time. Events
    // that come meanwhile wait for the handler to return, so that they keep their order.
    if (m_flushing)
        return;
    m_flushing = true;
    while (!m_events.empty()) {
        std::function<void()> event = std::move(m_events.front());
        m_events.pop_front();
        event();
    }
    m_flushing = false;
}

void FtpClient::createMulti() {
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &FtpCurlGlue::socket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &FtpCurlGlue::timer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
}

void FtpClient::dropMulti() {
    releaseIdleHandle();
    if (m_multi) {
        ++m_curlDepth;
        curl_multi_cleanup(m_multi);
        --m_curlDepth;
        m_multi = nullptr;
    }
    m_sockets.clear();
    for (const SocketWatch& watch : std::as_const(m_watches)) {
        for (QSocketNotifier* n : {watch.read, watch.write}) {
            n->setEnabled(false);
            n->deleteLater();
        }
    }
    m_watches.clear();
    m_curlTimer->stop();
}

void FtpClient::releaseIdleHandle() {
    if (m_idleWatch) {
        m_idleWatch->setEnabled(false);
        m_idleWatch->deleteLater();
        m_idleWatch = nullptr;
    }
    if (m_idleEasy) {
        curl_multi_remove_handle(m_multi, m_idleEasy);
        curl_easy_cleanup(m_idleEasy);
        m_idleEasy = nullptr;
    }
}

qintptr FtpClient::idleSocket() const {
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (!m_idleEasy || curl_easy_getinfo(m_idleEasy, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK)
        return qintptr(CURL_SOCKET_BAD);
    return qintptr(socket);
}

bool FtpClient::idleConnectionLost() {
    const qintptr socket = idleSocket();
    // Nothing is due on an idle control connection: readable means closed, or a "421".
    return socket == qintptr(CURL_SOCKET_BAD) || ControlReply::waitReadable(socket, 0);
}

void FtpClient::watchIdleConnection() {
    const qintptr socket = idleSocket();
    if (socket == qintptr(CURL_SOCKET_BAD) || m_watches.contains(socket))
        return;
    m_idleWatch = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(m_idleWatch, &QSocketNotifier::activated, this, [this] {
        if (!m_op && m_connected && idleConnectionLost())
            connectionLost();
    });
}

void FtpClient::connectionLost() {
    const bool wasConnected = m_connected;
    dropMulti();
    m_connected = false;
    if (wasConnected) {
        queueEvent([this] { emit FtpDisconnected(); });
        flushEvents();
    }
}

void FtpClient::updateWatch(qintptr socket, int what) {
    if (what == CURL_POLL_REMOVE) {
        const auto it = m_watches.find(socket);
        if (it == m_watches.end())
            return;
        for (QSocketNotifier* n : {it->read, it->write}) {
            n->setEnabled(false);
            n->deleteLater();
        }
        m_watches.erase(it);
        return;
    }
    SocketWatch& watch = m_watches[socket];
    if (!watch.read) {
        watch.read = new QSocketNotifier(socket, QSocketNotifier::Read, this);
        watch.write = new QSocketNotifier(socket, QSocketNotifier::Write, this);
        connect(watch.read, &QSocketNotifier::activated, this,
                [this, socket] { drive(socket, CURL_CSELECT_IN); });
        connect(watch.write, &QSocketNotifier::activated, this,
                [this, socket] { drive(socket, CURL_CSELECT_OUT); });
    }
    watch.read->setEnabled(what == CURL_POLL_IN || what == CURL_POLL_INOUT);
    watch.write->setEnabled(what == CURL_POLL_OUT || what == CURL_POLL_INOUT);
}
