#include "client/foundation/commandline.h"
#include "client/platform/dialler.h"
#include "client/session/clientapp.h"
#include "client/session/frmmain.h"
#include "client/session/windowedprocedures.h"
#include "client/widgets/widgetprompter.h"
#include "client/widgets/windowfonts.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Before Qt takes its own options ("-session", "-reverse") out of argv: those are session
    // names like any other.
    const QString commandLine = CommandLine::argumentText(argc, argv);
    QApplication application(argc, argv);
    WindowFonts::install();
    WidgetPrompter prompter;
    Prompter::setCurrent(&prompter);
    const std::unique_ptr<Dialler> dialler = Dialler::createDefault();

    ClientApp::Options options;
    options.arguments = QStringList(commandLine);
    options.dialler = dialler.get();
    ClientApp client(options);
    WindowedProcedures procedures(client.session());
    client.session().setProcedures(&procedures);
    client.setTransferComponent(&procedures.ftp());
    if (!client.StartClient())
        return 0;
    // Start-up may already have ended the client (no connection to dial, for one).
    if (client.mainWindow())
        application.exec();
    client.terminate();
    Prompter::setCurrent(nullptr);
    return 0;
}
