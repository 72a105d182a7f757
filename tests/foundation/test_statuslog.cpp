#include "client/foundation/ansitext.h"
#include "client/foundation/cappedlog.h"
#include "client/foundation/clock.h"
#include "client/foundation/statuslog.h"
#include "tests/support/tempprogramfolder.h"

#include <QDir>
#include <QStringListModel>
#include <QtTest>

class TestStatusLog : public QObject {
    Q_OBJECT
private slots:
    void firstLineCreatesLogAndNextRunAppends();
    void quietWritesLogOnly();
    void emptyTextWritesStampOnly();
    void eachStatusIsOneLineOfAnsiText();
    void listKeepsTheNewestLines();
    void unwritableLogIsReportedOnceAndRunGoesOn();
    void debugLinesSplitAtEight();
    void shortDebugEntriesAreKeptWhole();
    void ftpDebugLine();
    void clearDebugLogs();
    void clearDebugLogsReportsWhatItCannotDelete();
    void debugLogHasABudgetAMinuteAndACap();
};

namespace {
QStringList listOf(const StatusLog& log) {
    return log.model()->stringList();
}
} // namespace

void TestStatusLog::firstLineCreatesLogAndNextRunAppends() {
    TempProgramFolder folder;
    ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 53, 13)));
    {
        StatusLog log;
        log.setClock(&clock);
        QVERIFY(!QFile::exists(folder.file("transact.log")));
        log.writeStatus("FTP Disconnected");
        QCOMPARE(listOf(log), QStringList{"FTP Disconnected"});
    }
    clock.set(QDateTime(QDate(2027, 1, 15), QTime(14, 5, 9)));
    StatusLog secondRun;
    secondRun.setClock(&clock);
    secondRun.writeStatus("Skyvane Terminated");
    QCOMPARE(folder.read("transact.log"),
             QByteArray("12/6/2026 9:53:13 AM :FTP Disconnected\r\n"
                        "1/15/2027 2:05:09 PM :Skyvane Terminated\r\n"));
    QCOMPARE(listOf(secondRun), QStringList{"Skyvane Terminated"});
}

void TestStatusLog::eachStatusIsOneLineOfAnsiText() {
    TempProgramFolder folder;
    ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 53, 13)));
    StatusLog log;
    log.setClock(&clock);
    // A server's text cannot forge a time-stamped line of its own.
    log.writeStatus("Denied\r\n12/6/2026 9:53:13 AM :Send Complete\x01\t\x7f");
    QByteArray high;
    for (int b = 0x80; b <= 0xff; ++b)
        high += char(b);
    log.writeStatus(AnsiText::decode(high));
    const QString shown = "Denied\\r\\n12/6/2026 9:53:13 AM :Send Complete\\x01\\t\\x7f";
    QCOMPARE(folder.read("transact.log"), "12/6/2026 9:53:13 AM :" + shown.toLatin1() +
                                              "\r\n12/6/2026 9:53:13 AM :" + high + "\r\n");
    QCOMPARE(listOf(log).first(), shown);
}

void TestStatusLog::quietWritesLogOnly() {
    TempProgramFolder folder;
    StatusLog log;
    log.writeStatus("one");
    log.setQuiet();
    log.writeStatus("two");
    QVERIFY(log.isQuiet());
    QCOMPARE(listOf(log), QStringList{"one"});
    QCOMPARE(folder.logTexts("transact.log"), (QStringList{"one", "two"}));
}

void TestStatusLog::emptyTextWritesStampOnly() {
    TempProgramFolder folder;
    ManualClock clock(QDateTime(QDate(2026, 3, 1), QTime(0, 0, 5)));
    StatusLog log;
    log.setClock(&clock);
    log.writeStatus(QString());
    QCOMPARE(folder.read("transact.log"), QByteArray("3/1/2026 12:00:05 AM :\r\n"));
    QCOMPARE(listOf(log), QStringList{QString()});
}

void TestStatusLog::listKeepsTheNewestLines() {
    TempProgramFolder folder;
    StatusLog log;
    log.writeStatus("a");
    log.writeStatus("b");
    // The list fills up to its bound with lines that did not go through the log: each status
    // opens transact.log, and tens of thousands of opens take minutes under wine.
    QStringListModel* model = log.model();
    const int filler = StatusLog::MaxListLines - 2;
    QVERIFY(model->insertRows(2, filler));
    for (int i = 0; i < filler; ++i)
        model->setData(model->index(2 + i), QString::number(i));
    log.writeStatus("c");
    log.writeStatus("d");
    const QStringList list = listOf(log);
    QCOMPARE(list.size(), StatusLog::MaxListLines);
    QCOMPARE(list.first(), QString("0"));
    QCOMPARE(list.mid(list.size() - 2), (QStringList{"c", "d"}));
    // The lines that left the list stay in the log.
    QCOMPARE(folder.logTexts("transact.log"), (QStringList{"a", "b", "c", "d"}));
}

void TestStatusLog::unwritableLogIsReportedOnceAndRunGoesOn() {
    TempProgramFolder folder;
    // A folder in the way cannot be opened for appending, whoever runs the test.
    QVERIFY(QDir(folder.path()).mkdir("transact.log"));
    StatusLog log;
    log.writeStatus("one");
    log.writeStatus("two");
    const QStringList list = listOf(log);
    QCOMPARE(list.size(), 3);
    QVERIFY2(list[0].contains("transact.log"), qPrintable(list[0]));
    QCOMPARE(list.mid(1), (QStringList{"one", "two"}));

    QVERIFY(QDir(folder.path()).rmdir("transact.log"));
    log.writeStatus("three");
    QCOMPARE(folder.logTexts("transact.log"), QStringList{"three"});
}

void TestStatusLog::debugLinesSplitAtEight() {
    TempProgramFolder folder;
    WriteDebugMessage("RECD E05abc", false);
    WriteDebugMessage("SEND 1234E00", true);
    QCOMPARE(folder.logTexts("debug.log"), (QStringList{"RECD E05 abc", "SEND 123 4E00"}));
    QCOMPARE(folder.logTexts("debugRecd.log"), QStringList{"RECD E05abc"});
    QCOMPARE(folder.logTexts("debugSend.log"), QStringList{"SEND 1234E00"});
    // Every line carries the full stamp.
    for (const QString& line : folder.lines("debug.log"))
        QVERIFY2(QRegularExpression(
                     "^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M :(SEND|RECD)")
                     .match(line)
                     .hasMatch(),
                 qPrintable(line));
}

void TestStatusLog::shortDebugEntriesAreKeptWhole() {
    TempProgramFolder folder;
    QCOMPARE(debugLogForm("RECD E0"), QString("RECD E0 "));
    QCOMPARE(debugLogForm("RECD E05"), QString("RECD E05 "));
    QCOMPARE(debugLogForm(QString()), QString(" "));
    WriteDebugMessage("RECD ", false);
    QCOMPARE(folder.logTexts("debug.log"), QStringList{"RECD  "});
    QCOMPARE(folder.logTexts("debugRecd.log"), QStringList{"RECD "});
}

void TestStatusLog::ftpDebugLine() {
    TempProgramFolder folder;
    WriteFtpDebug("220 Welcome");
    QCOMPARE(folder.logTexts("debugFTP.log"), QStringList{"220 Welcome"});
}

void TestStatusLog::clearDebugLogs() {
    TempProgramFolder folder;
    QVERIFY(ClearDebugLogs().isEmpty());
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    for (const char* name :
         {"debug.log", "debugSend.log", "debugRecd.log", "debugFTP.log", "transact.log"})
        folder.write(name, "x\r\n");
    QVERIFY(ClearDebugLogs().isEmpty());
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"transact.log"});
}

void TestStatusLog::clearDebugLogsReportsWhatItCannotDelete() {
    TempProgramFolder folder;
    QVERIFY(QDir(folder.path()).mkpath("debug.log/inner"));
    folder.write("debugFTP.log", "x\r\n");
    const QStringList problems = ClearDebugLogs();
    QCOMPARE(problems.size(), 1);
    QVERIFY2(problems[0].contains("debug.log"), qPrintable(problems[0]));
    QVERIFY(!QFile::exists(folder.file("debugFTP.log")));
}

void TestStatusLog::debugLogHasABudgetAMinuteAndACap() {
    TempProgramFolder folder;
    ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 53, 13)));
    CappedLog log(folder.file("debug.log"));
    for (int i = 0; i < CappedLog::LinesPerWindow + 50; ++i)
        log.write("RECD E00", clock);
    QCOMPARE(folder.logTexts("debug.log").size(), CappedLog::LinesPerWindow);
    clock.advanceSeconds(60);
    log.write("RECD E09", clock);
    QCOMPARE(folder.logTexts("debug.log").mid(CappedLog::LinesPerWindow),
             QStringList({"[50 more lines not written: at most 300 a minute]", "RECD E09"}));

    // Long lines, a minute apart, up to the cap: one line says so, then nothing more.
    const QString longLine(60000, QLatin1Char('x'));
    for (int i = 0; i < 40; ++i) {
        clock.advanceSeconds(60);
        log.write(longLine, clock);
    }
    const QStringList texts = folder.logTexts("debug.log");
    QCOMPARE(texts.last(), QString("[this log is capped at 1024 KB for a run: nothing more is "
                                   "written to it until the next start]"));
    QCOMPARE(texts.count(longLine), 18);
}

QTEST_GUILESS_MAIN(TestStatusLog)
#include "test_statuslog.moc"
