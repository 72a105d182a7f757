#include "client/foundation/clock.h"
#include "client/foundation/paths.h"
#include "client/foundation/tempfolder.h"
#include "headless/clsconnection.h"
#include "headless/commandline.h"
#include "headless/headlesshost.h"
#include "headless/headlesssession.h"
#include "headless/headlesssettings.h"
#include "headless/vaneletlog.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cstdio>

// The windowless client for unattended runs: one session over the LAN, then the process ends.
static void StartHeadless() {
    const HeadlessOptions options =
        parseHeadlessCommandLine(joinArguments(QCoreApplication::arguments().mid(1)));
    const QString folder = Paths::programFolder();
    TempFolder::clearLeftovers();
    VaneletLog log(folder, options.logEnabled, systemClock());
    HeadlessHost host(folder, log);

    QStringList problems;
    const HeadlessSettings settings =
        LoadHeadlessSettings(Paths::join(folder, QStringLiteral("skyvane.ini")), &problems);
    for (const QString& problem : problems) {
        log.writeStatus(problem);
        std::fprintf(stderr, "vanelet: %s\n", problem.toLocal8Bit().constData());
    }
    if (settings.connectionKind != QLatin1String("LAN"))
        return;
    host.setFtpTls(settings.ftpTls);

    clsConnection connection(settings.serverHost, settings.serverPort, settings.siteId,
                             settings.sitePassword, log);
    bool shortened = false;
    const int lineBound = qEnvironmentVariableIntValue("SKYVANE_LINE_BOUND_S", &shortened);
    if (shortened && lineBound > 0)
        connection.setLineBoundSeconds(lineBound); // tests only: a dead line in seconds
    HeadlessSession session(connection, host, settings.siteId, options.sessionName);
    QObject::connect(&connection, &clsConnection::messageArrived, &connection,
                     [&session](const QString& message) { session.DispatchCommand(message); });
    connection.Connect();
    while (connection.Connected())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    session.finish();
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    StartHeadless();
    return 0;
}
