#include "client/foundation/paths.h"
#include "client/foundation/version.h"
#include "client/widgets/widgetprompter.h"
#include "client/widgets/windowfonts.h"
#include "updater/executableswap.h"
#include "updater/frmupdate.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    WindowFonts::install();
    QApplication::setApplicationName(QStringLiteral("update"));
    QApplication::setApplicationVersion(Versions::Updater.text());

    WidgetPrompter prompter;
    Prompter::setCurrent(&prompter);

    // Everything after the program name, passed on to the client as it stands.
    const QString commandLine = app.arguments().mid(1).join(QLatin1Char(' '));
    ExecutableSwap swap(Paths::programFolder());
    frmUpdate form(&swap, commandLine, &prompter);
    form.start();
    const int code = app.exec();
    return form.failed() ? 1 : code;
}
