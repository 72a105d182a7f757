#include "client/foundation/clock.h"
#include "client/foundation/paths.h"
#include "client/foundation/version.h"
#include "client/widgets/windowfonts.h"
#include "launcher/frmsplash.h"
#include "launcher/launchschedule.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    WindowFonts::install();
    QCoreApplication::setApplicationName(QStringLiteral("svLaunch"));
    QCoreApplication::setApplicationVersion(Versions::SvLaunch.text());

    DetachedProcessStarter starter;
    LaunchSchedule schedule(Paths::programFolder(),
                            Paths::inProgramFolder(QStringLiteral("error.log")), systemClock(),
                            starter);
    FrmSplash splash(schedule);
    splash.show();
    splash.repaint();
    return app.exec();
}
