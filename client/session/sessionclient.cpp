#include "client/session/sessionclient.h"

#include "client/foundation/clock.h"
#include "client/foundation/settings.h"
#include "client/foundation/statuslog.h"
#include "client/session/clientstate.h"
#include "client/session/sessionhost.h"

SessionHost::~SessionHost() = default;

SessionClient::SessionClient(SessionHost* host, Dialler* dialler, QObject* parent)
    : QObject(parent), m_host(host), m_network(host, dialler),
      m_socket(new SessionSocket(host, this)),
      m_queues(
          *m_socket, [this](const QString& message) { DispatchCommand(message); },
          [this](const QString& message, const QString& error) { onSendFailed(message, error); }),
      m_clock(&systemClock()), m_dispatcher(*this, host) {
    connect(m_socket, &SessionSocket::connected, this, &SessionClient::onConnected);
    connect(m_socket, &SessionSocket::messageReceived, this, &SessionClient::spoolrequest);
    connect(m_socket, &SessionSocket::sendFinished, this, [this] {
        m_queues.markSendReady();
        emit timerWorkChanged();
    });
    connect(m_socket, &SessionSocket::watchNeeded, this, &SessionClient::timerWorkChanged);
}

SessionClient::~SessionClient() = default;

void SessionClient::inform(const QString& text, Prompter::Icon icon) {
    if (Prompter* prompter = Prompter::current())
        prompter->inform(QStringLiteral("Skyvane"), text, icon);
}

void SessionClient::setProcedures(SessionProcedures* procedures) {
    m_dispatcher.setProcedures(procedures);
}

SessionProcedures& SessionClient::procedures() const {
    return m_dispatcher.procedures();
}

void SessionClient::setClock(const Clock* clock) {
    m_clock = clock ? clock : &systemClock();
    m_network.setClock(clock);
    m_queues.setClock(clock);
}

void SessionClient::setProgramStarter(ProgramStarter starter) {
    m_dispatcher.setProgramStarter(std::move(starter));
}

const Clock& SessionClient::clock() const {
    return *m_clock;
}

// ---- Network, then the socket ----

void SessionClient::StartNetwork() {
    networkPart(false);
    emit timerWorkChanged(); // a dial retry may wait
}

void SessionClient::Reconnect() {
    networkPart(true);
    emit timerWorkChanged();
}

void SessionClient::networkPart(bool fromReconnect) {
    if (fromReconnect) {
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            closeSocket();
        m_host->showMainWindow();
    }
    if (!m_network.bringUp(fromReconnect))
        return;

    const ClientSettings& settings = clientSettings();
    connectionStatus(QStringLiteral("Setting Server to: ") + settings.server);
    connectionStatus(QStringLiteral("Setting Port to: ") + QString::number(settings.port));
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
    connectionStatus(QStringLiteral("Connecting to: ") + settings.server);
    m_socket->connectTo(settings.server, quint16(settings.port));
}

bool SessionClient::DialConnection() {
    return m_network.DialConnection();
}

void SessionClient::HangUpConnection() {
    m_network.HangUpConnection();
}

void SessionClient::chooseRetry(const QString& minutes) {
    m_network.chooseRetry(minutes);
    emit timerWorkChanged();
}

void SessionClient::retryTick() {
    const bool waitOver = m_network.retryTick();
    emit timerWorkChanged();
    if (!waitOver)
        return;
    // A retry after minutes is a new attempt, not one of a fast failing streak.
    for (const QString& line : m_connectionLines.end())
        WriteStatus(line);
    Reconnect();
}

void SessionClient::onConnected() {
    m_host->hideNotice();
    m_host->setCancelEnabled(false);
    const QString& siteId = clientSettings().siteId;
    // A server that takes every connection and closes it again brings these four times a
    // second, all day: the repeats are counted, not written.
    connectionStatus(QStringLiteral("Connected to the Dockmere"));
    connectionStatus(QStringLiteral("Registering ") + siteId +
                     QStringLiteral(" with the Dockmere"));
    QString error;
    if (sendRegistration(&error))
        return;
    connectionStatus(QStringLiteral("Error during wsClient_connect Error=") + error);
    reconnectOrQuit();
}

bool SessionClient::sendRegistration(QString* error) {
    // The debug logs show the password masked, as the FTP lines do; the wire gets it whole.
    const ClientSettings& settings = clientSettings();
    const QString head = settings.siteId + QStringLiteral("E01");
    return m_socket->send(head + settings.sitePassword, error, head + QStringLiteral("****"));
}

void SessionClient::connectionStatus(const QString& text) {
    for (const QString& line : m_connectionLines.take(text, m_clock->now()))
        WriteStatus(line);
}

void SessionClient::writePendingSummaries() {
    for (const QString& line : m_connectionLines.end())
        WriteStatus(line);
    m_queues.writePendingSummaries();
}

void SessionClient::reconnectOrQuit() {
    if (StatusLog::instance().isQuiet())
        m_host->unloadMainWindow();
    else
        Reconnect();
}

void SessionClient::closeSocket() {
    m_socket->close();
}

void SessionClient::socketError(int errorNumber, const QString& description) {
    m_socket->socketError(errorNumber, description);
}

void SessionClient::socketWatchTick() {
    m_socket->watchTick();
    emit timerWorkChanged();
}

// ---- Queues and dispatcher ----

void SessionClient::SendCommand(const QString& message) {
    m_queues.SendCommand(message);
    emit timerWorkChanged();
}

void SessionClient::sendCode(const QString& codeAndArgument) {
    SendCommand(clientSettings().siteId + codeAndArgument);
}

void SessionClient::spoolrequest(const QString& message) {
    // The server answered: the streak of failed connections is over.
    for (const QString& line : m_connectionLines.end())
        WriteStatus(line);
    m_queues.spoolrequest(message);
    emit timerWorkChanged();
}

void SessionClient::sendTick() {
    m_queues.sendTick();
    emit timerWorkChanged();
}

void SessionClient::onSendFailed(const QString& message, const QString& error) {
    WriteStatus(QStringLiteral("Error sending ") + message + QStringLiteral(" Error=") + error);
    reconnectOrQuit();
}

void SessionClient::setPulse(bool on) {
    clientFlags().pulseOn = on;
    emit timerWorkChanged();
}

void SessionClient::pulseTick() {
    m_queues.pulseTick();
    emit timerWorkChanged();
}

void SessionClient::dispatchTick() {
    m_queues.dispatchTick();
    emit timerWorkChanged();
}

void SessionClient::DispatchCommand(const QString& message) {
    m_dispatcher.DispatchCommand(message);
}

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

// ---- State ----

bool SessionClient::networkReady() const {
    return m_network.networkReady();
}

bool SessionClient::sendReady() const {
    return m_queues.sendReady();
}

bool SessionClient::dispatchDue() const {
    return m_queues.incomingWaiting();
}

bool SessionClient::sendDue() const {
    return m_queues.sendDue();
}

bool SessionClient::pulseDue() const {
    return clientFlags().pulseOn;
}

bool SessionClient::socketWatchDue() const {
    return m_socket->watchDue();
}

bool SessionClient::retryDue() const {
    return m_network.retrySchedule().waiting();
}

bool SessionClient::inBusy() const {
    return m_queues.inBusy();
}

bool SessionClient::reconnectPending() const {
    return m_socket->reconnectPending();
}

int SessionClient::reconnectTry() const {
    return m_socket->reconnectTry();
}

const RetrySchedule& SessionClient::retrySchedule() const {
    return m_network.retrySchedule();
}

QStringList SessionClient::pendingOutgoing() const {
    return m_queues.pendingOutgoing();
}

QStringList SessionClient::pendingIncoming() const {
    return m_queues.pendingIncoming();
}

QAbstractSocket::SocketState SessionClient::socketState() const {
    return m_socket->state();
}
