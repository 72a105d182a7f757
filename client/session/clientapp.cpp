#include "client/session/clientapp.h"

#include "client/display/ftpeventhandler.h"
#include "client/foundation/paths.h"
#include "client/foundation/prompter.h"
#include "client/foundation/settings.h"
#include "client/foundation/singleinstance.h"
#include "client/foundation/statuslog.h"
#include "client/foundation/tempfolder.h"
#include "client/foundation/version.h"
#include "client/session/clientstate.h"
#include "client/session/frmmain.h"
#include "client/session/frmretryin.h"
#include "client/session/sessionprocedures.h"
#include "client/transfer/ftpclient.h"

#include <QPushButton>

namespace {
Prompter::Answer askYesNo(const QString& title, const QString& text) {
    Prompter* prompter = Prompter::current();
    if (!prompter)
        return Prompter::Answer::No;
    return prompter->ask(title, text, Prompter::Icon::Critical, Prompter::Buttons::YesNo,
                         Prompter::Answer::No);
}

// The command line after the program's path, without the blanks that separate it from the
// path; "default" when nothing is left.
QString sessionNameFrom(const QStringList& arguments) {
    QString text = arguments.join(QLatin1Char(' '));
    qsizetype start = 0;
    while (start < text.size() && text[start] == QLatin1Char(' '))
        ++start;
    text = text.mid(start);
    return text.isEmpty() ? QStringLiteral("default") : text;
}
} // namespace

ClientApp::ClientApp(const Options& options, QObject* parent)
    : QObject(parent), m_options(options), m_session(this, options.dialler) {
    m_session.setProcedures(options.procedures);
    m_session.setClock(options.clock);
}

ClientApp::~ClientApp() {
    delete m_retry;
    delete m_notice;
    delete m_main;
}

void ClientApp::setTransferComponent(FtpClient* ftp) {
    m_ftp = ftp;
}

bool ClientApp::StartClient() {
    return startClient(false);
}

bool ClientApp::startClient(bool restart) {
    const QStringList logProblems = ClearDebugLogs();
    sessionValues().sessionName = sessionNameFrom(m_options.arguments);

    if (!restart && m_options.singleInstance) {
        m_instance = new SingleInstance(QString::fromLatin1(ClientInstanceName),
                                        Paths::programFolder(), this);
        // The copy that holds the folder's lock runs; this one asks it to come forward and
        // ends, unless it ended meanwhile without being asked.
        if (!m_instance->takeLock() && (m_instance->activatePrevious() || !m_instance->takeLock()))
            return false;
        m_instance->listen();
        connect(m_instance, &SingleInstance::activationRequested, this,
                &ClientApp::bringMainWindowForward);
    }
    TempFolder::clearLeftovers();

    QStringList settingsProblems;
    LoadSettings(Paths::inProgramFolder(QStringLiteral("skyvane.ini")), &clientSettings(),
                 &settingsProblems);

    // A restart after a major failure is a new session, not the end of the client; closing
    // the old one stopped the transfers, the new one needs them again.
    clientFlags().closing = false;
    StatusLog::instance().setQuiet(false);
    m_session.procedures().resumeTransfers();

    m_main = new frmMain(this);
    connectTransferDisplay();
    if (m_options.runTimers)
        m_main->startTimers();
    m_main->show();

    WriteStatus(QStringLiteral("Initializing Skyvane ") + Versions::Skyvane.text() +
                QStringLiteral("....."));
    for (const QString& line : logProblems + settingsProblems)
        WriteStatus(line);

    m_session.StartNetwork();
    return true;
}

void ClientApp::terminate() {
    if (m_terminated)
        return;
    m_terminated = true;
    m_session.writePendingSummaries();
    if (!connectionIsExactlyLan())
        m_session.HangUpConnection();
    unloadNotice();
    m_session.procedures().abortTransfers();
    m_session.closeSocket();
    StatusLog::instance().setQuiet();
    WriteStatus(QStringLiteral("Skyvane Terminated"));
}

bool ClientApp::connectionIsExactlyLan() const {
    return clientSettings().connection == QLatin1String("LAN");
}

bool ClientApp::closeRequest() {
    if (clientFlags().closing) {
        if (!connectionIsExactlyLan())
            m_session.HangUpConnection();
        // The session has ended: every window it opened goes, or the process would stay
        // without a window to close and swallow every later start.
        unloadNotice();
        unloadRetryChooser();
        if (Prompter* prompter = Prompter::current())
            prompter->dismissOpen();
        m_session.procedures().abortTransfers();
        m_session.closeSocket();
        StatusLog::instance().setQuiet();
        return true;
    }
    const QString text = QStringLiteral(
        "STOP SKYVANE?\r\rAre you sure you want to STOP and CLOSE Skyvane? Your data "
        "transmission has not completed yet.\r\rClick No to let Skyvane continue");
    if (askYesNo(QStringLiteral("Stop and Close Skyvane?"), text) != Prompter::Answer::Yes)
        return false;
    if (!connectionIsExactlyLan())
        m_session.HangUpConnection();
    m_session.procedures().abortTransfers();
    m_session.closeSocket();
    unloadNotice();
    unloadRetryChooser();
    StatusLog::instance().setQuiet();
    clientFlags().closing = true;
    return true;
}

void ClientApp::mainWindowClosed(frmMain* window) {
    if (m_main == window)
        m_main = nullptr;
}

void ClientApp::cancelClicked() {
    if (askYesNo(QStringLiteral("Are you sure you want to cancel?"),
                 QStringLiteral("Are you sure you want to Cancel, Your data has not been polled "
                                "yet!")) != Prompter::Answer::Yes)
        return;
    if (clientFlags().closing)
        return; // the session ended while the question was open
    if (clientFlags().dialedUp)
        m_session.HangUpConnection();
    if (!m_retry)
        m_retry = new frmRetryIn(this);
    m_retry->show();
    m_retry->raise();
}

void ClientApp::retryChosen(const QString& minutes) {
    m_session.chooseRetry(minutes);
    unloadRetryChooser();
}

void ClientApp::connectTransferDisplay() {
    if (!m_ftp || !m_main)
        return;
    FtpClient* ftp = m_ftp;
    FtpEventHandler* events = m_main->transferEvents();
    connect(ftp, &FtpClient::FtpDisconnected, events, &FtpEventHandler::onFtpDisconnected);
    connect(ftp, &FtpClient::FtpTransferStatus, events, &FtpEventHandler::onFtpTransferStatus);
    connect(ftp, &FtpClient::FtpLogText, events, &FtpEventHandler::onFtpLogText);
    connect(ftp, &FtpClient::FtpCompleted, events, &FtpEventHandler::onFtpCompleted);
    connect(ftp, &FtpClient::FtpReceivingFile, events, &FtpEventHandler::onFtpReceivingFile);
    connect(ftp, &FtpClient::FtpSendingFile, events, &FtpEventHandler::onFtpSendingFile);
}

void ClientApp::unloadRetryChooser() {
    if (m_retry) {
        m_retry->close();
        m_retry = nullptr;
    }
}

void ClientApp::bringMainWindowForward() {
    if (!m_main)
        return;
    if (m_main->isMinimized())
        m_main->showNormal();
    m_main->show();
    m_main->raise();
    m_main->activateWindow();
}

SessionClient& ClientApp::session() {
    return m_session;
}

NoticeState& ClientApp::noticeState() {
    return m_noticeState;
}

frmMain* ClientApp::mainWindow() const {
    return m_main;
}

frmNoServ* ClientApp::noticeWindow() const {
    return m_notice;
}

frmRetryIn* ClientApp::retryWindow() const {
    return m_retry;
}

// ---- SessionHost ----

void ClientApp::showMainWindow() {
    if (m_main)
        m_main->show();
}

void ClientApp::restoreMainWindow() {
    if (m_main)
        m_main->showNormal();
}

void ClientApp::minimizeMainWindow() {
    if (m_main)
        m_main->showMinimized();
}

void ClientApp::setCancelEnabled(bool enabled) {
    if (m_main)
        m_main->cmdCancel()->setEnabled(enabled);
}

void ClientApp::unloadMainWindow() {
    if (m_main)
        m_main->close(); // the close request decides; a closed window reports itself
}

void ClientApp::loadNotice() {
    if (m_notice)
        return;
    m_notice = new frmNoServ(&m_noticeState);
    if (m_options.runTimers)
        m_notice->startTimer();
}

void ClientApp::setNoticeTexts(const QString& retry, const QString& message) {
    loadNotice();
    m_notice->setTexts(retry, message);
}

void ClientApp::bringNoticeForward() {
    loadNotice();
    if (!m_noticeState.hidden)
        m_notice->showOnTop();
}

void ClientApp::makeNoticeVisible() {
    loadNotice();
    m_notice->show();
}

void ClientApp::hideNotice() {
    if (m_notice)
        m_notice->hide();
}

void ClientApp::unloadNotice() {
    if (!m_notice)
        return;
    m_notice->hide();
    m_notice->deleteLater();
    m_notice = nullptr;
}

void ClientApp::restartClient() {
    startClient(true);
}
