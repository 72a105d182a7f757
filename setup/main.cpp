#include "client/foundation/paths.h"
#include "client/foundation/version.h"
#include "client/platform/dialupentries.h"
#include "client/widgets/widgetprompter.h"
#include "client/widgets/windowfonts.h"
#include "setup/frmpass.h"
#include "setup/frmsetup.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    WindowFonts::install();
    QCoreApplication::setApplicationName(QStringLiteral("svSetup"));
    QCoreApplication::setApplicationVersion(Versions::SvSetup.text());

    WidgetPrompter prompter;
    Prompter::setCurrent(&prompter);
    const std::unique_ptr<DialupEntryLister> lister = platformDialupEntryLister();

    std::unique_ptr<FrmSetup> setup;
    FrmPass pass(prompter);
    QObject::connect(&pass, &FrmPass::accessGranted, [&]() {
        setup = std::make_unique<FrmSetup>(Paths::inProgramFolder(QStringLiteral("skyvane.ini")),
                                           *lister, prompter);
        setup->show();
    });
    pass.show();
    return app.exec();
}
