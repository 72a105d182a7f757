#include "client/foundation/clock.h"
#include "launcher/frmsplash.h"
#include "launcher/launchschedule.h"
#include "tests/support/tempprogramfolder.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>

namespace {
class CountingStarter : public ProcessStarter {
public:
    int starts = 0;
    bool start(const QString&, const QString&, QString*) override {
        ++starts;
        return true;
    }
};
} // namespace

class TestFrmSplash : public QObject {
    Q_OBJECT
private slots:
    void showsVersionAndStatusThenHides();
    void minuteTimerDrivesTheSchedule();
};

void TestFrmSplash::showsVersionAndStatusThenHides() {
    TempProgramFolder folder;
    ManualClock clock;
    CountingStarter starter;
    LaunchSchedule schedule(folder.path(), folder.file("error.log"), clock, starter);
    FrmSplash splash(schedule);
    splash.show();
    QCOMPARE(splash.windowTitle(), QString("Chronaut - Main Screen"));
    QCOMPARE(splash.findChild<QLabel*>("lblVersion")->text(), QString("Version 2.3.9013"));
    QCOMPARE(splash.findChild<QLabel*>("lblStatus")->text(),
             QString("Loading Skyvane Launcher into Memory, TSR"));
    QCOMPARE(splash.splashTimer()->interval(), 3000);
    QVERIFY(splash.splashTimer()->isActive());
    QCOMPARE(splash.minuteTimer()->interval(), 60000);
    QVERIFY(splash.minuteTimer()->isActive());

    splash.tmrSplashTick();
    QVERIFY(!splash.isVisible());
    QVERIFY(!splash.splashTimer()->isActive());
    QVERIFY(splash.minuteTimer()->isActive());
}

void TestFrmSplash::minuteTimerDrivesTheSchedule() {
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[system]\r\nTimeToSend=10:15 PM\r\n");
    folder.write(LaunchSchedule::clientExecutableName(), "client");
    ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(22, 15, 0)));
    CountingStarter starter;
    LaunchSchedule schedule(folder.path(), folder.file("error.log"), clock, starter);
    FrmSplash splash(schedule);
    splash.tmrSplashTick();
    splash.tmrMinuteTick();
    QCOMPARE(starter.starts, 1);
}

QTEST_MAIN(TestFrmSplash)
#include "test_frmsplash.moc"
