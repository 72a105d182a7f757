#include "client/session/sessionclient.h"

#include "client/foundation/clock.h"
#include "client/foundation/datetext.h"
#include "client/foundation/paths.h"
#include "client/foundation/prompter.h"
#include "client/foundation/settings.h"
#include "client/foundation/statuslog.h"
#include "client/foundation/version.h"
#include "client/platform/dialler.h"
#include "client/session/clientstate.h"
#include "client/session/protocol/socketnotice.h"
#include "client/session/sessionhost.h"
#include "client/session/sessionprocedures.h"
#include "client/transfer/ftpaccount.h"

#include <QProcess>
#include <QTcpSocket>

SessionHost::~SessionHost() = default;

namespace {
// Winsock's text for a send on a socket that is not connected.
const char* const NotConnectedText =
    "Wrong protocol or connection state for the requested transaction or request";

SessionProcedures& unavailableProcedures() {
    static UnavailableProcedures procedures;
    return procedures;
}

void inform(const QString& text, Prompter::Icon icon) {
    if (Prompter* prompter = Prompter::current())
        prompter->inform(QStringLiteral("Skyvane"), text, icon);
}

bool startDetached(const QString& program, const QString& arguments) {
    QProcess process;
    process.setProgram(program);
#ifdef Q_OS_WIN
    // The updater takes its command line as it stands: the path, a blank, the session name.
    process.setNativeArguments(arguments);
#else
    process.setArguments({arguments});
#endif
    return process.startDetached();
}

const QString& siteId() {
    return clientSettings().siteId;
}

bool statusQuiet() {
    return StatusLog::instance().isQuiet();
}
} // namespace

SessionClient::SessionClient(SessionHost* host, Dialler* dialler, QObject* parent)
    : QObject(parent), m_host(host), m_dialler(dialler), m_procedures(&unavailableProcedures()),
      m_clock(&systemClock()), m_startProgram(startDetached), m_socket(new QTcpSocket(this)) {
    connect(m_socket, &QTcpSocket::connected, this, &SessionClient::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &SessionClient::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &SessionClient::onBytesWritten);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &SessionClient::onErrorOccurred);
}

SessionClient::~SessionClient() = default;

void SessionClient::setProcedures(SessionProcedures* procedures) {
    m_procedures = procedures ? procedures : &unavailableProcedures();
}

SessionProcedures& SessionClient::procedures() const {
    return *m_procedures;
}

void SessionClient::setClock(const Clock* clock) {
    m_clock = clock ? clock : &systemClock();
}

void SessionClient::setProgramStarter(ProgramStarter starter) {
    m_startProgram = starter ? std::move(starter) : ProgramStarter(startDetached);
}

QString SessionClient::timeOfDay() const {
    return DateText::longTime(m_clock->now().time());
}

// ---- Network ----

void SessionClient::StartNetwork() {
    networkPart(false);
}

void SessionClient::Reconnect() {
    networkPart(true);
}

void SessionClient::networkPart(bool fromReconnect) {
    if (fromReconnect) {
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            closeSocket();
        m_host->showMainWindow();
    }
    WriteStatus(QStringLiteral("Detecting Network"));
    const ClientSettings& settings = clientSettings();
    if (settings.connection.toUpper() != QLatin1String("LAN")) {
        WriteStatus(QStringLiteral("Making Connection on: ") + settings.connection);
        const bool ok = DialConnection();
        if (clientFlags().closing) {
            // The client is ending: no retry is scheduled that could never run.
            m_host->unloadMainWindow();
            return;
        }
        if (!ok) {
            if (m_retry.canRetry()) {
                m_retry.scheduleDialRetry(settings.retry);
                WriteStatus(timeOfDay() + QStringLiteral(" Retry #") +
                            QString::number(m_retry.dialRetryCount()) + QStringLiteral(" in ") +
                            QString::number(settings.retry) + QStringLiteral(" minute(s)."));
            } else {
                giveUp(fromReconnect);
            }
        }
    } else {
        m_networkReady = true;
    }
    if (!m_networkReady)
        return;

    WriteStatus(QStringLiteral("Setting Server to: ") + settings.server);
    m_remoteHost = settings.server;
    WriteStatus(QStringLiteral("Setting Port to: ") + QString::number(settings.port));
    m_host->loadNotice();
    if (settings.port < 1 || settings.port > 65535) {
        // A port the socket cannot take: say so and wait for the user instead of looping.
        const QString message = QStringLiteral("Port ") + QString::number(settings.port) +
                                QStringLiteral(" in skyvane.ini is not a valid port number");
        WriteStatus(message);
        m_host->setCancelEnabled(true);
        m_host->setNoticeTexts(QString(), message);
        m_host->bringNoticeForward();
        return;
    }
    m_remotePort = quint16(settings.port);
    WriteStatus(QStringLiteral("Connecting to: ") + settings.server);
    connectSocket();
}

void SessionClient::giveUp(bool fromReconnect) {
    WriteStatus(fromReconnect ? QStringLiteral("Exceeded 10 Retrys...Program Will Exit")
                              : QStringLiteral("Network Connection Failed"));
    inform(QStringLiteral("After 10 Attempts the Skyvane has failed to connect to the Network, "
                          "please notify your Tabulon Service Provider ASAP"),
           Prompter::Icon::Critical);
    clientFlags().closing = true;
    m_host->unloadMainWindow();
    m_host->unloadNotice();
}

bool SessionClient::DialConnection() {
    const QString& connection = clientSettings().connection;
    if (connection.isEmpty()) {
        WriteStatus(QStringLiteral("No Connection is specified."));
        inform(QStringLiteral("No Connection is specified, please notify your Tabulon Service "
                              "Provider ASAP."),
               Prompter::Icon::Critical);
        clientFlags().closing = true;
        return false;
    }
    Dialler::Handle handle = 0;
    const quint32 result = m_dialler ? m_dialler->dial(connection, &handle) : Dialler::NoConnection;
    if (result != 0) {
        WriteStatus(QStringLiteral("Error in connecting: ") + DialErrorText(result));
        m_networkReady = false;
        m_host->setCancelEnabled(true);
        return false;
    }
    m_connectionHandle = handle;
    WriteStatus(QStringLiteral("Connected to: ") + connection);
    m_networkReady = true;
    clientFlags().dialedUp = true;
    m_host->setCancelEnabled(false);
    return true;
}

void SessionClient::HangUpConnection() {
    const quint32 result =
        m_dialler ? m_dialler->hangUp(m_connectionHandle) : Dialler::InvalidParameter;
    if (result != 0) {
        WriteStatus(QStringLiteral("Error in disconnecting: ") + DialErrorText(result));
    } else {
        WriteStatus(QStringLiteral("Disconnected---"));
        WriteStatus(QStringLiteral("End Of Program"));
    }
    clientFlags().dialedUp = false;
}

void SessionClient::chooseRetry(const QString& minutes) {
    if (minutes != QLatin1String("0")) {
        WriteStatus(timeOfDay() + QStringLiteral(" Retry in ") + minutes +
                    QStringLiteral(" minutes."));
        m_retry.startChosenWait(minutes.toInt());
        m_host->minimizeMainWindow();
    } else {
        clientFlags().closing = true;
        m_host->unloadMainWindow();
        m_host->unloadNotice();
    }
}

void SessionClient::retryTick() {
    if (!m_retry.tick())
        return;
    m_host->restoreMainWindow();
    Reconnect();
}

// ---- Socket ----

void SessionClient::connectSocket() {
    m_framer.reset();
    m_peerClosed = false;
    m_socket->connectToHost(m_remoteHost, m_remotePort);
}

void SessionClient::closeSocket() {
    m_peerClosed = false;
    m_socket->abort();
}

bool SessionClient::sendDirect(const QString& message, QString* error) {
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        *error = QString::fromLatin1(NotConnectedText);
        return false;
    }
    if (m_socket->write(Wire::frame(message)) < 0) {
        *error = m_socket->errorString();
        return false;
    }
    WriteDebugMessage(QStringLiteral("SEND ") + message, true);
    return true;
}

bool SessionClient::sendRegistration(QString* error) {
    return sendDirect(siteId() + QStringLiteral("E01") + clientSettings().sitePassword, error);
}

void SessionClient::onConnected() {
    m_host->hideNotice();
    m_host->setCancelEnabled(false);
    m_reconnectTry = 0;
    WriteStatus(QStringLiteral("Connected to the Dockmere"));
    WriteStatus(QStringLiteral("Registering ") + siteId() + QStringLiteral(" with the Dockmere"));
    QString error;
    if (sendRegistration(&error))
        return;
    WriteStatus(QStringLiteral("Error during wsClient_connect Error=") + error);
    if (statusQuiet())
        m_host->unloadMainWindow();
    else
        Reconnect();
}

void SessionClient::onReadyRead() {
    const QStringList messages = m_framer.feed(m_socket->readAll());
    for (const QString& problem : m_framer.takeProblems())
        WriteStatus(problem);
    for (const QString& message : messages)
        spoolrequest(message);
}

void SessionClient::onBytesWritten() {
    if (m_socket->bytesToWrite() == 0)
        m_sendReady = true;
}

void SessionClient::onErrorOccurred(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) {
        // The server closed the connection: the socket watch notices it and connects again.
        m_peerClosed = true;
        return;
    }
    socketError(SocketNotice::windowsErrorNumber(error), m_socket->errorString());
}

void SessionClient::socketError(int errorNumber, const QString& description) {
    closeSocket();
    ++m_reconnectTry;
    m_host->setCancelEnabled(true);
    const SocketNotice::Notice notice =
        SocketNotice::forError(errorNumber, clientSettings().server, description);
    m_host->setNoticeTexts(QStringLiteral("Trying to reconnect, try ") +
                               QString::number(m_reconnectTry),
                           notice.message);
    if (notice.reconnect)
        m_reconnectPending = true;
    m_host->bringNoticeForward();
}

void SessionClient::socketWatchTick() {
    if (m_peerClosed) {
        m_host->makeNoticeVisible();
        closeSocket();
        connectSocket();
    } else if (m_reconnectPending) {
        m_reconnectPending = false;
        closeSocket();
        connectSocket();
    }
}

// ---- Queues ----

void SessionClient::SendCommand(const QString& message) {
    m_outQueue.enqueue(message);
}

void SessionClient::sendCode(const QString& codeAndArgument) {
    SendCommand(siteId() + codeAndArgument);
}

void SessionClient::spoolrequest(const QString& message) {
    m_inQueue.enqueue(message);
}

void SessionClient::sendTick() {
    if (!m_sendReady || m_outQueue.isEmpty())
        return;
    m_sendReady = false;
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        // The connection is being rebuilt: the message waits for it instead of being lost.
        // The registration that follows the reconnect opens the queue again.
        return;
    }
    const QString message = m_outQueue.dequeue();
    QString error;
    if (sendDirect(message, &error))
        return;
    WriteStatus(QStringLiteral("Error sending ") + message + QStringLiteral(" Error=") + error);
    if (statusQuiet())
        m_host->unloadMainWindow();
    else
        Reconnect();
}

void SessionClient::pulseTick() {
    if (!clientFlags().pulseOn)
        return;
    // One keep-alive waiting is enough: while the connection is down they would pile up and
    // hold back the real answers once it is back.
    const QString keepAlive = siteId() + QStringLiteral("E00");
    if (!m_outQueue.contains(keepAlive))
        SendCommand(keepAlive);
}

void SessionClient::dispatchTick() {
    if (m_inBusy || m_inQueue.isEmpty())
        return;
    m_inBusy = true;
    const QString message = m_inQueue.head();
    WriteDebugMessage(QStringLiteral("RECD ") + message, false);
    DispatchCommand(message);
    m_inQueue.dequeue();
    m_inBusy = false;
}

// ---- Dispatcher ----

void SessionClient::endSession(bool unloadNoticeFirst) {
    closeSocket();
    if (clientFlags().dialedUp)
        HangUpConnection();
    if (unloadNoticeFirst)
        m_host->unloadNotice();
    clientFlags().closing = true;
    m_host->unloadMainWindow();
    if (!unloadNoticeFirst)
        m_host->unloadNotice();
}

void SessionClient::sendTransactLog() {
    // The upload removes what it sent itself: lines written while it ran are kept.
    if (m_procedures->uploadTransactLog(Paths::inProgramFolder(QStringLiteral("transact.log")),
                                        true)) {
        WriteStatus(QStringLiteral("Send Complete"));
        sendCode(QStringLiteral("E08"));
    } else {
        WriteStatus(QStringLiteral("Send Failed"));
        sendCode(QStringLiteral("E28"));
    }
}

void SessionClient::DispatchCommand(const QString& message) {
    const QString code = message.left(3);
    const QString arg = message.mid(3);
    SessionValues& values = sessionValues();

    if (code == QLatin1String("E00")) {
        return;
    } else if (code == QLatin1String("E01")) {
        const QChar last = message.back();
        if (last == QLatin1Char('0') || last == QLatin1Char('3')) {
            clientFlags().closing = true;
            m_host->unloadMainWindow();
            m_host->unloadNotice();
            inform(last == QLatin1Char('0')
                       ? QStringLiteral("Client Registration Failed, A Duplicate ID has been "
                                        "found, Please check your ID Setting, the program will "
                                        "exit.")
                       : QStringLiteral("Client Registration Failed, Bad Password, Please check "
                                        "your Password Setting, the program will exit."),
                   Prompter::Icon::Critical);
            return;
        }
        WriteStatus(QStringLiteral("Client Registerd as:") + siteId());
        WriteStatus(QStringLiteral("Checking Version Compatibility"));
        sendCode(QStringLiteral("E02") + Versions::Skyvane.text());
    } else if (code == QLatin1String("E02")) {
        WriteStatus(QStringLiteral("Version is Compatible"));
        WriteStatus(QStringLiteral("Requesting User Name"));
        sendCode(QStringLiteral("E20"));
    } else if (code == QLatin1String("E03")) {
        WriteStatus(QStringLiteral("Version is Incompatible"));
        WriteStatus(QStringLiteral("This Dockmere requires version ") + arg);
        endSession(true);
        inform(QStringLiteral("This Skyvane is Incompatiblle with the Dockmere it's trying to "
                              "connect to.\rThis Dockmere requires Skyvane version ") +
                   arg,
               Prompter::Icon::None);
    } else if (code == QLatin1String("E06")) {
        WriteStatus(QStringLiteral("The Server is busy finishing another session for this "
                                   "Skyvane."));
        WriteStatus(QStringLiteral("Skyvane will retry every 5 seconds."));
        WriteStatus(QStringLiteral("Registering ") + siteId() +
                    QStringLiteral(" with the Dockmere"));
        QString error;
        if (!sendRegistration(&error))
            WriteStatus(QStringLiteral("Error during registration Error=") + error);
    } else if (code == QLatin1String("E07")) {
        WriteStatus(QStringLiteral("Major Failure"));
        WriteStatus(QStringLiteral("Sending Transact.log"));
        m_procedures->uploadTransactLog(Paths::inProgramFolder(QStringLiteral("transact.log")),
                                        false);
        endSession(true);
        m_host->restartClient();
    } else if (code == QLatin1String("E08")) {
        WriteStatus(QStringLiteral("Sending Transact.log"));
        sendTransactLog();
    } else if (code == QLatin1String("E09")) {
        WriteStatus(QStringLiteral("Disconnecting from Dockmere Server"));
        WriteStatus(QStringLiteral("Ending Session"));
        endSession(true);
    } else if (code == QLatin1String("E10")) {
        WriteStatus(QStringLiteral("Performing Auto Update Step 1"));
        m_procedures->autoUpdateClient();
    } else if (code == QLatin1String("E11")) {
        WriteStatus(QStringLiteral("Performing Auto Update Step 2"));
        endSession(false);
        const QString updater =
            Paths::inProgramFolder(Paths::executableName(QStringLiteral("update")));
        if (!m_startProgram(updater, values.sessionName))
            WriteStatus(QStringLiteral("Could not start ") + updater);
    } else if (code == QLatin1String("E12")) {
        WriteStatus(QStringLiteral("Auto Update Failed, Skyvane is Shutting Down"));
        endSession(false);
        inform(QStringLiteral("Auto Update Failed, Skyvane cannot continue and will close."),
               Prompter::Icon::None);
    } else if (code == QLatin1String("E13")) {
        WriteStatus(QStringLiteral("Auto Update Disabled"));
        WriteStatus(QStringLiteral("Requesting Mission Pack"));
        WriteStatus(QStringLiteral("Please Stand By..."));
        sendCode(QStringLiteral("E30") + values.sessionName);
    } else if (code == QLatin1String("E20")) {
        ftpAccount().user = arg;
        WriteStatus(QStringLiteral("Requesting Password"));
        sendCode(QStringLiteral("E21"));
    } else if (code == QLatin1String("E21")) {
        ftpAccount().password = arg;
        WriteStatus(QStringLiteral("Requesting Server"));
        sendCode(QStringLiteral("E22"));
    } else if (code == QLatin1String("E22")) {
        ftpAccount().server = arg;
        WriteStatus(QStringLiteral("Requesting Store Folder Name"));
        sendCode(QStringLiteral("E23"));
    } else if (code == QLatin1String("E23")) {
        ftpAccount().storeFolder = arg;
        WriteStatus(QStringLiteral("Checking for AutoUpdate of Skyvane"));
        sendCode(QStringLiteral("E10"));
    } else if (code == QLatin1String("E30")) {
        const bool ok = m_procedures->processMissionPack(arg);
        sendCode(ok ? QStringLiteral("E31") : QStringLiteral("E32"));
    } else if (code == QLatin1String("E37")) {
        WriteStatus(QStringLiteral("Prepare Mission Pack Failed"));
        WriteStatus(QStringLiteral("Sending Transact.log"));
        sendTransactLog();
    } else {
        WriteStatus(QStringLiteral("Skyvane has recieved an unknown Command:") + code);
        sendCode(QStringLiteral("E99"));
    }
}

// ---- State ----

bool SessionClient::networkReady() const {
    return m_networkReady;
}

bool SessionClient::sendReady() const {
    return m_sendReady;
}

bool SessionClient::inBusy() const {
    return m_inBusy;
}

bool SessionClient::reconnectPending() const {
    return m_reconnectPending;
}

int SessionClient::reconnectTry() const {
    return m_reconnectTry;
}

const RetrySchedule& SessionClient::retrySchedule() const {
    return m_retry;
}

QStringList SessionClient::pendingOutgoing() const {
    return QStringList(m_outQueue.begin(), m_outQueue.end());
}

QStringList SessionClient::pendingIncoming() const {
    return QStringList(m_inQueue.begin(), m_inQueue.end());
}

QAbstractSocket::SocketState SessionClient::socketState() const {
    return m_socket->state();
}
