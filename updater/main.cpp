#include "client/foundation/commandline.h"
#include "client/foundation/paths.h"
#include "client/foundation/version.h"
#include "client/widgets/widgetprompter.h"
#include "client/widgets/windowfonts.h"
#include "updater/executableswap.h"
#include "updater/frmupdate.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Everything after the program name, passed on to the client as it stands; read before
    // Qt takes its own options out.
    const QString commandLine = CommandLine::argumentText(argc, argv);
    QApplication app(argc, argv);
    WindowFonts::install();
    QApplication::setApplicationName(QStringLiteral("update"));
    QApplication::setApplicationVersion(Versions::Updater.text());

    WidgetPrompter prompter;
    Prompter::setCurrent(&prompter);

    ExecutableSwap swap(Paths::programFolder());
    frmUpdate form(&swap, commandLine, &prompter);
    form.start();
    const int code = app.exec();
    return form.failed() ? 1 : code;
}
