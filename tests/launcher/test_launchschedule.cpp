#include "client/foundation/clock.h"
#include "launcher/launchschedule.h"
#include "tests/support/tempprogramfolder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

struct Start {
    QString program;
    QString folder;
};

class RecordingStarter : public ProcessStarter {
public:
    QList<Start> starts;
    bool succeed = true;
    bool start(const QString& program, const QString& workingFolder, QString* error) override {
        starts.append({program, workingFolder});
        if (!succeed && error)
            *error = QStringLiteral("The system cannot execute the specified program.");
        return succeed;
    }
};

QDateTime at(int hour, int minute, int second) {
    return QDateTime(QDate(2026, 12, 6), QTime(hour, minute, second));
}

// A program folder holding skyvane.ini (when timeToSend is given) and the client.
void prepare(const TempProgramFolder& folder, const QByteArray& timeToSend, bool client = true) {
    if (!timeToSend.isNull())
        folder.write("skyvane.ini", "[system]\r\nID=7\r\nTimeToSend=" + timeToSend + "\r\n");
    if (client)
        folder.write(LaunchSchedule::clientExecutableName(), "client");
}

} // namespace

class TestLaunchSchedule : public QObject {
    Q_OBJECT
private slots:
    void startsOnceWithinTheMinute();
    void onlyTheExactTextMatches_data();
    void onlyTheExactTextMatches();
    void missingIniOrClientStartsNothing();
    void changedTimeTakesEffectAtNextTick();
    void failedStartWritesPlainErrorLine();
    void detachedStarterRunsInTheWorkingFolder();
};

void TestLaunchSchedule::startsOnceWithinTheMinute() {
    TempProgramFolder folder;
    prepare(folder, "10:15 PM");
    ManualClock clock(at(22, 14, 30));
    RecordingStarter starter;
    LaunchSchedule schedule(folder.path(), folder.file("error.log"), clock, starter);
    for (int tick = 0; tick < 4; ++tick) {
        schedule.minuteTick();
        clock.advanceSeconds(60);
    }
    QCOMPARE(starter.starts.size(), 1);
    QCOMPARE(starter.starts[0].program, folder.file(LaunchSchedule::clientExecutableName()));
    QCOMPARE(starter.starts[0].folder, folder.path());
    QVERIFY(!QFile::exists(folder.file("error.log")));
}

void TestLaunchSchedule::onlyTheExactTextMatches_data() {
    QTest::addColumn<QByteArray>("timeToSend");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<bool>("starts");
    QTest::newRow("9:05 AM") << QByteArray("9:05 AM") << at(9, 5, 20) << true;
    QTest::newRow("12:00 AM at midnight") << QByteArray("12:00 AM") << at(0, 0, 1) << true;
    QTest::newRow("leading zero") << QByteArray("09:05 AM") << at(9, 5, 20) << false;
    QTest::newRow("lower case") << QByteArray("9:05 am") << at(9, 5, 20) << false;
    QTest::newRow("with seconds") << QByteArray("9:05:00 AM") << at(9, 5, 0) << false;
    QTest::newRow("other minute") << QByteArray("9:06 AM") << at(9, 5, 59) << false;
}

void TestLaunchSchedule::onlyTheExactTextMatches() {
    QFETCH(QByteArray, timeToSend);
    QFETCH(QDateTime, now);
    QFETCH(bool, starts);
    TempProgramFolder folder;
    prepare(folder, timeToSend);
    ManualClock clock(now);
    RecordingStarter starter;
    LaunchSchedule schedule(folder.path(), folder.file("error.log"), clock, starter);
    schedule.minuteTick();
    QCOMPARE(starter.starts.size(), starts ? 1 : 0);
}

void TestLaunchSchedule::missingIniOrClientStartsNothing() {
    {
        TempProgramFolder folder;
        prepare(folder, QByteArray(), true);
        ManualClock clock(at(0, 0, 0));
        RecordingStarter starter;
        LaunchSchedule schedule(folder.path(), folder.file("error.log"), clock, starter);
        for (int minute = 0; minute < 3; ++minute) {
            schedule.minuteTick();
            clock.advanceSeconds(60);
        }
        QVERIFY(starter.starts.isEmpty());
        QVERIFY(!QFile::exists(folder.file("error.log")));
    }
    {
        TempProgramFolder folder;
        prepare(folder, "10:15 PM", false);
        ManualClock clock(at(22, 15, 10));
        RecordingStarter starter;
        LaunchSchedule schedule(folder.path(), folder.file("error.log"), clock, starter);
        schedule.minuteTick();
        QVERIFY(starter.starts.isEmpty());
        QVERIFY(!QFile::exists(folder.file("error.log")));
    }
}

void TestLaunchSchedule::changedTimeTakesEffectAtNextTick() {
    TempProgramFolder folder;
    prepare(folder, "10:15 PM");
    ManualClock clock(at(22, 16, 5));
    RecordingStarter starter;
    LaunchSchedule schedule(folder.path(), folder.file("error.log"), clock, starter);
    schedule.minuteTick();
    QVERIFY(starter.starts.isEmpty());
    prepare(folder, "10:17 PM");
    clock.advanceSeconds(60);
    schedule.minuteTick();
    QCOMPARE(starter.starts.size(), 1);
}

void TestLaunchSchedule::failedStartWritesPlainErrorLine() {
    TempProgramFolder folder;
    prepare(folder, "10:15 PM");
    folder.write("error.log", "earlier line\r\n");
    ManualClock clock(at(22, 15, 30));
    RecordingStarter starter;
    starter.succeed = false;
    LaunchSchedule schedule(folder.path(), folder.file("error.log"), clock, starter);
    schedule.minuteTick();
    QCOMPARE(starter.starts.size(), 1);
    QCOMPARE(folder.read("error.log"),
             QByteArray("earlier line\r\nError in Exec Task, Error=The system cannot execute the "
                        "specified program. Task Number=\r\n"));
}

void TestLaunchSchedule::detachedStarterRunsInTheWorkingFolder() {
#ifdef Q_OS_WIN
    QSKIP("uses a shell script");
#else
    TempProgramFolder folder;
    const QString marker = folder.file("started.txt");
    folder.write("client.sh", "#!/bin/sh\necho \"$(pwd) $#\" > \"" + marker.toLocal8Bit() +
                                  ".part\"\nmv \"" + marker.toLocal8Bit() + ".part\" \"" +
                                  marker.toLocal8Bit() + "\"\n");
    QFile::setPermissions(folder.file("client.sh"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    DetachedProcessStarter starter;
    QString error;
    QVERIFY(starter.start(folder.file("client.sh"), folder.path(), &error));
    // The detached program runs on its own; wait for its marker.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 20000);
    QCOMPARE(folder.lines("started.txt").value(0).trimmed(),
             QDir(folder.path()).canonicalPath() + " 0");
#endif
}

QTEST_GUILESS_MAIN(TestLaunchSchedule)
#include "test_launchschedule.moc"
