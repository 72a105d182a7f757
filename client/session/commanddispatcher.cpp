#include "client/session/commanddispatcher.h"

#include "client/foundation/paths.h"
#include "client/foundation/prompter.h"
#include "client/foundation/settings.h"
#include "client/foundation/statuslog.h"
#include "client/foundation/version.h"
#include "client/session/clientstate.h"
#include "client/session/sessionclient.h"
#include "client/session/sessionhost.h"
#include "client/session/sessionprocedures.h"
#include "client/transfer/ftpaccount.h"

#include <QProcess>

namespace {
SessionProcedures& unavailableProcedures() {
    static UnavailableProcedures procedures;
    return procedures;
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

QString transactLogPath() {
    return Paths::inProgramFolder(QStringLiteral("transact.log"));
}
} // namespace

// clang-format off
const CommandDispatcher::Command CommandDispatcher::Commands[] = {
    {"E00", &CommandDispatcher::keepAlive},
    {"E01", &CommandDispatcher::registered},
    {"E02", &CommandDispatcher::versionCompatible},
    {"E03", &CommandDispatcher::versionIncompatible},
    {"E06", &CommandDispatcher::serverBusy},
    {"E07", &CommandDispatcher::majorFailure},
    {"E08", &CommandDispatcher::sendLog},
    {"E09", &CommandDispatcher::endOfSession},
    {"E10", &CommandDispatcher::updateStep1},
    {"E11", &CommandDispatcher::updateStep2},
    {"E12", &CommandDispatcher::updateFailed},
    {"E13", &CommandDispatcher::updateDisabled},
    {"E20", &CommandDispatcher::ftpUser},
    {"E21", &CommandDispatcher::ftpPassword},
    {"E22", &CommandDispatcher::ftpServer},
    {"E23", &CommandDispatcher::storeFolder},
    {"E30", &CommandDispatcher::missionPack},
    {"E37", &CommandDispatcher::packFailed},
};
// clang-format on

CommandDispatcher::CommandDispatcher(SessionClient& session, SessionHost* host)
    : m_session(session), m_host(host), m_procedures(&unavailableProcedures()),
      m_startProgram(startDetached) {}

void CommandDispatcher::setProcedures(SessionProcedures* procedures) {
    m_procedures = procedures ? procedures : &unavailableProcedures();
}

SessionProcedures& CommandDispatcher::procedures() const {
    return *m_procedures;
}

void CommandDispatcher::setProgramStarter(ProgramStarter starter) {
    m_startProgram = starter ? std::move(starter) : ProgramStarter(startDetached);
}

void CommandDispatcher::DispatchCommand(const QString& message) {
    const QString code = message.left(3);
    const QString arg = message.mid(3);
    for (const Command& command : Commands) {
        if (code == QLatin1String(command.code)) {
            (this->*command.handle)(message, arg);
            return;
        }
    }
    unknown(code);
}

void CommandDispatcher::keepAlive(const QString&, const QString&) {}

void CommandDispatcher::registered(const QString& message, const QString&) {
    const QChar last = message.back();
    if (last == QLatin1Char('0') || last == QLatin1Char('3')) {
        clientFlags().closing = true;
        m_host->unloadMainWindow();
        m_host->unloadNotice();
        SessionClient::inform(
            last == QLatin1Char('0')
                ? QStringLiteral("Client Registration Failed, A Duplicate ID has been found, "
                                 "Please check your ID Setting, the program will exit.")
                : QStringLiteral("Client Registration Failed, Bad Password, Please check your "
                                 "Password Setting, the program will exit."),
            Prompter::Icon::Critical);
        return;
    }
    WriteStatus(QStringLiteral("Client Registerd as:") + clientSettings().siteId);
    WriteStatus(QStringLiteral("Checking Version Compatibility"));
    m_session.sendCode(QStringLiteral("E02") + Versions::Skyvane.text());
}

void CommandDispatcher::versionCompatible(const QString&, const QString&) {
    WriteStatus(QStringLiteral("Version is Compatible"));
    WriteStatus(QStringLiteral("Requesting User Name"));
    m_session.sendCode(QStringLiteral("E20"));
}

void CommandDispatcher::versionIncompatible(const QString&, const QString& arg) {
    WriteStatus(QStringLiteral("Version is Incompatible"));
    WriteStatus(QStringLiteral("This Dockmere requires version ") + arg);
    m_session.endSession(true);
    SessionClient::inform(QStringLiteral("This Skyvane is Incompatiblle with the Dockmere it's "
                                         "trying to connect to.\rThis Dockmere requires Skyvane "
                                         "version ") +
                              arg,
                          Prompter::Icon::None);
}

void CommandDispatcher::serverBusy(const QString&, const QString&) {
    WriteStatus(QStringLiteral("The Server is busy finishing another session for this Skyvane."));
    WriteStatus(QStringLiteral("Skyvane will retry every 5 seconds."));
    WriteStatus(QStringLiteral("Registering ") + clientSettings().siteId +
                QStringLiteral(" with the Dockmere"));
    QString error;
    if (!m_session.sendRegistration(&error))
        WriteStatus(QStringLiteral("Error during registration Error=") + error);
}

void CommandDispatcher::majorFailure(const QString&, const QString&) {
    WriteStatus(QStringLiteral("Major Failure"));
    WriteStatus(QStringLiteral("Sending Transact.log"));
    m_procedures->uploadTransactLog(transactLogPath(), false);
    m_session.endSession(true);
    m_host->restartClient();
}

void CommandDispatcher::sendLog(const QString&, const QString&) {
    WriteStatus(QStringLiteral("Sending Transact.log"));
    sendTransactLog();
}

void CommandDispatcher::endOfSession(const QString&, const QString&) {
    WriteStatus(QStringLiteral("Disconnecting from Dockmere Server"));
    WriteStatus(QStringLiteral("Ending Session"));
    m_session.endSession(true);
}

void CommandDispatcher::updateStep1(const QString&, const QString&) {
    WriteStatus(QStringLiteral("Performing Auto Update Step 1"));
    m_procedures->autoUpdateClient();
}

void CommandDispatcher::updateStep2(const QString&, const QString&) {
    WriteStatus(QStringLiteral("Performing Auto Update Step 2"));
    m_session.endSession(false);
    const QString updater = Paths::inProgramFolder(Paths::executableName(QStringLiteral("update")));
    if (!m_startProgram(updater, sessionValues().sessionName))
        WriteStatus(QStringLiteral("Could not start ") + updater);
}

void CommandDispatcher::updateFailed(const QString&, const QString&) {
    WriteStatus(QStringLiteral("Auto Update Failed, Skyvane is Shutting Down"));
    m_session.endSession(false);
    SessionClient::inform(
        QStringLiteral("Auto Update Failed, Skyvane cannot continue and will close."),
        Prompter::Icon::None);
}

void CommandDispatcher::updateDisabled(const QString&, const QString&) {
    WriteStatus(QStringLiteral("Auto Update Disabled"));
    WriteStatus(QStringLiteral("Requesting Mission Pack"));
    WriteStatus(QStringLiteral("Please Stand By..."));
    m_session.sendCode(QStringLiteral("E30") + sessionValues().sessionName);
}

void CommandDispatcher::ftpUser(const QString&, const QString& arg) {
    ftpAccount().user = arg;
    WriteStatus(QStringLiteral("Requesting Password"));
    m_session.sendCode(QStringLiteral("E21"));
}

void CommandDispatcher::ftpPassword(const QString&, const QString& arg) {
    ftpAccount().password = arg;
    WriteStatus(QStringLiteral("Requesting Server"));
    m_session.sendCode(QStringLiteral("E22"));
}

void CommandDispatcher::ftpServer(const QString&, const QString& arg) {
    ftpAccount().server = arg;
    WriteStatus(QStringLiteral("Requesting Store Folder Name"));
    m_session.sendCode(QStringLiteral("E23"));
}

void CommandDispatcher::storeFolder(const QString&, const QString& arg) {
    ftpAccount().storeFolder = arg;
    WriteStatus(QStringLiteral("Checking for AutoUpdate of Skyvane"));
    m_session.sendCode(QStringLiteral("E10"));
}

void CommandDispatcher::missionPack(const QString&, const QString& arg) {
    const bool ok = m_procedures->processMissionPack(arg);
    m_session.sendCode(ok ? QStringLiteral("E31") : QStringLiteral("E32"));
}

void CommandDispatcher::packFailed(const QString&, const QString&) {
    WriteStatus(QStringLiteral("Prepare Mission Pack Failed"));
    WriteStatus(QStringLiteral("Sending Transact.log"));
    sendTransactLog();
}

void CommandDispatcher::unknown(const QString& code) {
    WriteStatus(QStringLiteral("Skyvane has recieved an unknown Command:") + code);
    m_session.sendCode(QStringLiteral("E99"));
}

void CommandDispatcher::sendTransactLog() {
    // The upload removes what it sent itself: lines written while it ran are kept.
    if (m_procedures->uploadTransactLog(transactLogPath(), true)) {
        WriteStatus(QStringLiteral("Send Complete"));
        m_session.sendCode(QStringLiteral("E08"));
    } else {
        WriteStatus(QStringLiteral("Send Failed"));
        m_session.sendCode(QStringLiteral("E28"));
    }
}
