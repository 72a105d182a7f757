#include "tests/widgets/windowgallery.h"

#include "client/display/ftpeventhandler.h"
#include "client/foundation/clock.h"
#include "client/foundation/prompter.h"
#include "client/foundation/settings.h"
#include "client/foundation/statuslog.h"
#include "client/platform/dialupentries.h"
#include "client/session/clientapp.h"
#include "client/session/clientstate.h"
#include "client/session/frmmain.h"
#include "client/session/frmnoserv.h"
#include "client/session/frmretryin.h"
#include "launcher/frmsplash.h"
#include "launcher/launchschedule.h"
#include "setup/frmpass.h"
#include "setup/frmsetup.h"
#include "tests/support/tempprogramfolder.h"
#include "updater/executableswap.h"
#include "updater/frmupdate.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QTcpServer>
#include <QTimer>

#include <functional>

namespace {

// Two NetworkManager connections, as svSetup lists them on a store computer with a modem.
class StoreDialupEntries : public DialupEntryLister {
public:
    Result listEntries() override {
        Result result;
        result.names = {QStringLiteral("Store Modem"), QStringLiteral("Backup ISDN Line")};
        return result;
    }
};

// A port on which nothing listens, so that skyvane's connect is refused at once.
int refusingPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// What the night's list holds after the connection: from registration to the Mission Pack.
const char* const nightLines[] = {
    "Client Registerd as:1234",     "Checking Version Compatibility",
    "Version is Compatible",        "Requesting User Name",
    "Requesting Password",          "Requesting Server",
    "Requesting Store Folder Name", "Checking for AutoUpdate of Skyvane",
    "Auto Update Disabled",         "Requesting Mission Pack",
    "Please Stand By...",           "Receiving Mission Pack: night.zip",
};

// A store's settings as svSetup saves them. The ID field was drawn for about five characters
// (site IDs such as 1234); a longer ID scrolls within it.
void writeSettings(const TempProgramFolder& folder, const QString& server, int port) {
    folder.write("skyvane.ini", QStringLiteral("[system]\r\nID=1234\r\nPass=store-secret\r\n"
                                               "Connection=LAN\r\nServer=%1\r\nPort=%2\r\n"
                                               "TimeToSend=10:15 PM\r\nRetry=15\r\n")
                                    .arg(server)
                                    .arg(port)
                                    .toLatin1());
}

bool waitFor(const std::function<bool()>& done) {
    QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

} // namespace

struct WindowGallery::Parts {
    TempProgramFolder folder;
    ScriptedPrompter prompter{Prompter::Answer::Yes};
    std::unique_ptr<ClientApp> client;
    StoreDialupEntries dialupEntries;
    std::unique_ptr<FrmPass> pass;
    std::unique_ptr<FrmSetup> setup;
    DetachedProcessStarter starter;
    std::unique_ptr<LaunchSchedule> schedule;
    std::unique_ptr<FrmSplash> splash;
    std::unique_ptr<ExecutableSwap> swap;
    std::unique_ptr<frmUpdate> update;
};

WindowGallery::WindowGallery() : m_parts(std::make_unique<Parts>()) {}

WindowGallery::~WindowGallery() {
    if (m_parts->client) {
        // The client ends quietly, as after a night.
        clientFlags().closing = true;
        m_parts->client->unloadMainWindow();
        m_parts->client->unloadNotice();
        m_parts->client.reset();
    }
    Prompter::setCurrent(nullptr);
}

bool WindowGallery::open(QString* error) {
    Parts& p = *m_parts;
    writeSettings(p.folder, QStringLiteral("127.0.0.1"), refusingPort());
    Prompter::setCurrent(&p.prompter);

    // skyvane: the main window of a night, the notice after a refused connect, the retry chooser.
    clientSettings() = ClientSettings();
    clientFlags() = ClientFlags();
    sessionValues() = SessionValues();
    ClientApp::Options options;
    options.singleInstance = false;
    options.runTimers = false;
    p.client = std::make_unique<ClientApp>(options);
    if (!p.client->StartClient()) {
        *error = QStringLiteral("skyvane did not start");
        return false;
    }
    if (!waitFor(
            [&] { return p.client->noticeWindow() && p.client->noticeWindow()->isVisible(); })) {
        *error = QStringLiteral("skyvane's notice did not come up after a refused connect");
        return false;
    }
    for (const char* line : nightLines)
        WriteStatus(QString::fromLatin1(line));
    frmMain* main = p.client->mainWindow();
    main->transferEvents()->onFtpReceivingFile();
    main->transferEvents()->onFtpTransferStatus(262144000, 98304000, 11534336);
    p.client->cancelClicked();
    if (!p.client->retryWindow()) {
        *error = QStringLiteral("Cancel did not open the retry chooser");
        return false;
    }

    // svSetup: the access prompt with a code typed, and the dialog of a store's settings.
    writeSettings(p.folder, QStringLiteral("central.example.com"), 55555);
    p.pass = std::make_unique<FrmPass>(p.prompter);
    p.pass->findChild<QLineEdit*>(QStringLiteral("txtPass"))->setText(QStringLiteral("qelvorn"));
    p.pass->show();
    p.setup = std::make_unique<FrmSetup>(p.folder.file(QStringLiteral("skyvane.ini")),
                                         p.dialupEntries, p.prompter);
    p.setup->show();

    // svLaunch's splash and update's window, as they stand at their start.
    p.schedule = std::make_unique<LaunchSchedule>(
        p.folder.path(), p.folder.file(QStringLiteral("error.log")), systemClock(), p.starter);
    p.splash = std::make_unique<FrmSplash>(*p.schedule);
    p.splash->splashTimer()->stop();
    p.splash->show();
    p.swap = std::make_unique<ExecutableSwap>(p.folder.path());
    p.update = std::make_unique<frmUpdate>(p.swap.get(), QStringLiteral("default"), &p.prompter);
    p.update->show();
    QCoreApplication::processEvents();
    return true;
}

QList<WindowGallery::Window> WindowGallery::windows() const {
    const Parts& p = *m_parts;
    return {
        {QStringLiteral("skyvane-night"), p.client->mainWindow()},
        {QStringLiteral("skyvane-notice"), p.client->noticeWindow()},
        {QStringLiteral("skyvane-retry"), p.client->retryWindow()},
        {QStringLiteral("svsetup-password"), p.pass.get()},
        {QStringLiteral("svsetup"), p.setup.get()},
        {QStringLiteral("svlaunch-splash"), p.splash.get()},
        {QStringLiteral("update"), p.update.get()},
    };
}
