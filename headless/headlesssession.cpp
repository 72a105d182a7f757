#include "headless/headlesssession.h"

#include "client/foundation/version.h"
#include "client/missions/missionpack.h"
#include "client/transfer/ftpaccount.h"
#include "client/transfer/transferhost.h"
#include "headless/clsconnection.h"

#include <cstdio>

HeadlessSession::HeadlessSession(clsConnection& connection, TransferHost& host,
                                 const QString& siteId, const QString& sessionName)
    : m_connection(connection), m_host(host), m_siteId(siteId), m_sessionName(sessionName) {}

void HeadlessSession::finish() {
    const QString summary = m_unknown.end();
    if (!summary.isEmpty())
        m_host.writeStatus(summary);
}

void HeadlessSession::send(const QString& code, const QString& arg) {
    m_connection.SendData(m_siteId + code + arg);
}

void HeadlessSession::refuse(const QString& text) {
    // Unattended: nobody would click a message box, so the text goes to the log and stderr.
    m_host.writeStatus(text);
    std::fprintf(stderr, "vanelet: %s\n", text.toLocal8Bit().constData());
    m_connection.Disconnect();
}

void HeadlessSession::DispatchCommand(const QString& message) {
    const QString code = message.left(3);
    const QString arg = message.mid(3);
    // A stream of junk costs a few lines and answers, not one for every message.
    if (!UnknownCommands::isKnown(code)) {
        QString summary;
        const bool report = m_unknown.admit(&summary);
        if (!summary.isEmpty())
            m_host.writeStatus(summary);
        if (!report)
            return;
    }
    FtpAccount& account = ftpAccount();

    if (code == QLatin1String("E00")) {
        return;
    } else if (code == QLatin1String("E01")) {
        if (message.endsWith(QLatin1Char('0'))) {
            refuse(QStringLiteral("Client Registration Failed, A Duplicate ID has been found, "
                                  "Please check your ID Setting, the program will exit."));
        } else if (message.endsWith(QLatin1Char('3'))) {
            refuse(QStringLiteral("Client Registration Failed, Bad Password, Please check your "
                                  "Password Setting, the program will exit."));
        } else {
            m_host.writeStatus(QStringLiteral("Client Registerd as:") + m_siteId);
            m_host.writeStatus(QStringLiteral("Checking Version Compatibility"));
            send(QStringLiteral("E02"), Versions::Vanelet.text());
        }
    } else if (code == QLatin1String("E02")) {
        m_host.writeStatus(QStringLiteral("Version is Compatible"));
        m_host.writeStatus(QStringLiteral("Requesting User Name"));
        send(QStringLiteral("E20"));
    } else if (code == QLatin1String("E03")) {
        m_host.writeStatus(QStringLiteral("Version is Incompatible"));
        m_host.writeStatus(QStringLiteral("This Dockmere requires version ") + arg);
        m_connection.Disconnect();
    } else if (code == QLatin1String("E06")) {
        m_host.writeStatus(QStringLiteral("Server requested restart."));
        m_host.writeStatus(QStringLiteral("Disconnecting..."));
        m_connection.Disconnect();
    } else if (code == QLatin1String("E07")) {
        m_host.writeStatus(QStringLiteral("Major Failure"));
        m_host.writeStatus(QStringLiteral("Disconnecting..."));
        m_connection.Disconnect();
    } else if (code == QLatin1String("E08")) {
        m_host.writeStatus(QStringLiteral("Missions Complete"));
        m_host.writeStatus(QStringLiteral("Disconnecting..."));
        m_connection.Disconnect();
    } else if (code == QLatin1String("E09")) {
        m_connection.Disconnect();
    } else if (code == QLatin1String("E10") || code == QLatin1String("E11") ||
               code == QLatin1String("E12")) {
        return; // vanelet never updates itself
    } else if (code == QLatin1String("E13")) {
        m_host.writeStatus(QStringLiteral("Auto Update Disabled"));
        m_host.writeStatus(QStringLiteral("Requesting Mission Pack"));
        m_host.writeStatus(QStringLiteral("Please Stand By..."));
        send(QStringLiteral("E30"), m_sessionName);
    } else if (code == QLatin1String("E20")) {
        account.user = arg;
        m_host.writeStatus(QStringLiteral("Requesting Password"));
        send(QStringLiteral("E21"));
    } else if (code == QLatin1String("E21")) {
        account.password = arg;
        m_host.writeStatus(QStringLiteral("Requesting Server"));
        send(QStringLiteral("E22"));
    } else if (code == QLatin1String("E22")) {
        account.server = arg;
        m_host.writeStatus(QStringLiteral("Requesting Store Folder Name"));
        send(QStringLiteral("E23"));
    } else if (code == QLatin1String("E23")) {
        account.storeFolder = arg;
        m_host.writeStatus(QStringLiteral("Checking for AutoUpdate of Skyvane"));
        send(QStringLiteral("E10"));
    } else if (code == QLatin1String("E30")) {
        // No data extraction runner: vanelet skips those missions. Its transfers watch the
        // line meanwhile (their own no-progress limit).
        m_connection.setIdleProbes(false);
        const bool ok = ProcessMissionPack(m_host, arg);
        m_connection.setIdleProbes(true);
        send(ok ? QStringLiteral("E31") : QStringLiteral("E32"));
    } else if (code == QLatin1String("E37")) {
        send(QStringLiteral("E08"));
    } else {
        m_host.writeStatus(QStringLiteral("Skyvane has recieved an unknown Command:") + code);
        send(QStringLiteral("E99"));
    }
}
