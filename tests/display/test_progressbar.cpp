#include "client/display/ftpeventhandler.h"
#include "client/display/progressbar.h"
#include "tests/support/tempprogramfolder.h"

#include <QFrame>
#include <QLabel>
#include <QWidget>
#include <QtTest>

namespace {

const QColor Navy(0, 0, 140);
const QColor Blue(0, 0, 255);

// The main window's transfer display: the bar where the window places it, and its labels.
struct TransferDisplay {
    QWidget window;
    QLabel totalBytes{"Total Bytes Expected:", &window};
    QLabel transferred{"Bytes Transfered:", &window};
    QLabel byteRate{"Transfer Rate (Bytes Per Second):", &window};
    ProgressBar bar;
    FtpEventHandler handler{&totalBytes, &transferred, &byteRate, &bar};

    TransferDisplay() {
        window.resize(400, 350);
        bar.CreateProgressBar(&window, 3300, 540, 4935, 375);
        window.show();
        bar.UpdateProgressBar(100, 0, false);
        handler.setLogTextDelay(0);
    }
    QString caption() const {
        return bar.caption()->text();
    }
    QColor captionColour() const {
        return bar.caption()->palette().color(QPalette::WindowText);
    }
    QColor outerColour() const {
        return bar.outerBox()->palette().color(QPalette::Window);
    }
};

} // namespace

class TestProgressBar : public QObject {
    Q_OBJECT
private slots:
    void createBuildsTheNamedParts();
    void percentageRule();
    void idleAtStart();
    void twoOfThreeWhileSending();
    void halfWayReceivingWithLabels();
    void unknownTotalWhileSending();
    void from95TheCaptionStaysAndTurnsBlack();
    void doneAtAndAboveAHundred();
    void eventsSetFlagsAndWriteLines();
    void logLinesKeepTheirPaceWhileTimersRun();
};

void TestProgressBar::createBuildsTheNamedParts() {
    QWidget window;
    window.resize(400, 350);
    ProgressBar bar;
    bar.CreateProgressBar(&window, 3300, 540, 4935, 375);
    auto* outer = window.findChild<QFrame*>("fPicBoxBorder");
    QVERIFY(outer);
    QCOMPARE(outer->geometry(), QRect(36, 220, 329, 25));
    QCOMPARE(outer->palette().color(QPalette::Window), QColor(150, 150, 150));
    auto* inner = outer->findChild<QFrame*>("fPicBox");
    QVERIFY(inner);
    QCOMPARE(inner->size(), QSize(321, 18)); // 4815 by 270 twips
    QCOMPARE(inner->palette().color(QPalette::Window), QColor(Qt::white));
    auto* label = inner->findChild<QLabel*>("fLabel");
    auto* shape = inner->findChild<QWidget*>("fShape");
    QVERIFY(label && shape);
    QCOMPARE(label->size(), QSize(321, 20));
    QCOMPARE(label->font().family(), QString("Arial"));
    QCOMPARE(label->font().pointSize(), 10);
    QVERIFY(label->font().bold());
    QCOMPARE(label->alignment(), Qt::AlignHCenter | Qt::AlignTop);
    QCOMPARE(shape->width(), 0);
    QCOMPARE(shape->height(), 20);
    QCOMPARE(shape->palette().color(QPalette::Window), QColor(100, 220, 255));
    // The caption is drawn over the fill.
    QVERIFY(inner->children().indexOf(label) > inner->children().indexOf(shape));
    QCOMPARE(bar.fullFillWidth(), 4815);
}

void TestProgressBar::percentageRule() {
    QCOMPARE(ProgressBar::percentage(2500000, 2499999), 100);   // 99.99996
    QCOMPARE(ProgressBar::percentage(100000000, 99999900), 99); // 99.9999
    QCOMPARE(ProgressBar::percentage(1000, 1), 0);
    QCOMPARE(ProgressBar::percentage(0, 10), 0);
    // Halves of a twip go to the even number.
    QCOMPARE(ProgressBar::fillWidthFor(30, 4815), 1444); // 1444.5
}

void TestProgressBar::idleAtStart() {
    TransferDisplay d;
    QCOMPARE(d.caption(), QString("IDLE"));
    QCOMPARE(d.captionColour(), Navy);
    QCOMPARE(d.outerColour(), QColor(Qt::white));
    QCOMPARE(d.bar.fillWidth(), 0);
    QCOMPARE(d.bar.fill()->width(), 0);
}

void TestProgressBar::twoOfThreeWhileSending() {
    TransferDisplay d;
    d.bar.UpdateProgressBar(3, 2, false);
    QCOMPARE(d.caption(), QString("SENDING   66%"));
    QCOMPARE(d.captionColour(), Navy);
    QCOMPARE(d.bar.fillWidth(), 3178);
}

void TestProgressBar::halfWayReceivingWithLabels() {
    TransferDisplay d;
    d.handler.onFtpReceivingFile();
    d.handler.onFtpTransferStatus(1000, 500, 12345);
    QCOMPARE(d.caption(), QString("RECEIVING   50%"));
    QCOMPARE(d.bar.fillWidth(), 2408);
    QCOMPARE(d.totalBytes.text(), QString("Total Bytes Expected: 1000"));
    QCOMPARE(d.transferred.text(), QString("Bytes Transfered: 500"));
    QCOMPARE(d.byteRate.text(), QString("Transfer Rate (Bytes Per Second): 12345"));

    // Large files: no separators, no overflow.
    d.handler.onFtpTransferStatus(5000000000LL, 4000000000LL, 1048576);
    QCOMPARE(d.caption(), QString("RECEIVING   80%"));
    QCOMPARE(d.totalBytes.text(), QString("Total Bytes Expected: 5000000000"));
    QCOMPARE(d.transferred.text(), QString("Bytes Transfered: 4000000000"));
}

void TestProgressBar::unknownTotalWhileSending() {
    TransferDisplay d;
    d.handler.onFtpReceivingFile();
    d.handler.onFtpSendingFile();
    d.handler.onFtpTransferStatus(0, 777, 0);
    QCOMPARE(d.caption(), QString("SENDING   50%"));
    QCOMPARE(d.totalBytes.text(), QString("Total Bytes Expected: UNKNOWN"));
    QCOMPARE(d.transferred.text(), QString("Bytes Transfered: 777"));
    QCOMPARE(d.byteRate.text(), QString("Transfer Rate (Bytes Per Second): 0"));
}

void TestProgressBar::from95TheCaptionStaysAndTurnsBlack() {
    TransferDisplay d;
    d.bar.UpdateProgressBar(100, 94, false);
    QCOMPARE(d.caption(), QString("SENDING   94%"));
    QCOMPARE(d.outerColour(), QColor(Qt::white));
    d.bar.UpdateProgressBar(100, 96, false);
    QCOMPARE(d.caption(), QString("SENDING   94%"));
    QCOMPARE(d.captionColour(), QColor(Qt::black));
    QCOMPARE(d.outerColour(), Blue);
    QCOMPARE(d.bar.fillWidth(), 4622); // 4622.4
}

void TestProgressBar::doneAtAndAboveAHundred() {
    TransferDisplay d;
    d.bar.UpdateProgressBar(4096, 4096, true);
    QCOMPARE(d.caption(), QString("DONE...AWAITING NEXT COMMAND"));
    QCOMPARE(d.captionColour(), QColor(Qt::black));
    QCOMPARE(d.outerColour(), Blue);
    QCOMPARE(d.bar.fillWidth(), 4815);
    QCOMPARE(d.bar.fill()->width(), 321);

    // Over the top the fill runs past the inner box, which clips it.
    d.bar.UpdateProgressBar(100, 150, true);
    QCOMPARE(d.caption(), QString("DONE...AWAITING NEXT COMMAND"));
    QCOMPARE(d.bar.fillWidth(), 7222); // 7222.5
    QVERIFY(d.bar.fill()->width() > d.bar.innerBox()->width());

    // The next transfer starts from the bottom again.
    d.bar.UpdateProgressBar(100, 1, false);
    QCOMPARE(d.caption(), QString("SENDING   1%"));
    QCOMPARE(d.captionColour(), Navy);
    QCOMPARE(d.outerColour(), QColor(Qt::white));
}

void TestProgressBar::eventsSetFlagsAndWriteLines() {
    TempProgramFolder folder;
    TransferDisplay d;
    QVERIFY(!d.handler.receiving());
    QSignalSpy done(&d.handler, &FtpEventHandler::ftpDone);
    d.handler.onFtpCompleted();
    QCOMPARE(done.count(), 1);

    d.handler.onFtpLogText("220 Service ready");
    QCOMPARE(done.count(), 1);
    d.handler.onFtpDisconnected();
    QCOMPARE(done.count(), 2);

    QCOMPARE(folder.logTexts("transact.log"),
             QStringList({"220 Service ready", "FTP Disconnected"}));
    QCOMPARE(folder.logTexts("debugFTP.log"), QStringList({"220 Service ready"}));
}

// A login's burst of protocol lines: each waits its quarter second, and the window's timers (the
// keep-alive) run meanwhile.
void TestProgressBar::logLinesKeepTheirPaceWhileTimersRun() {
    TempProgramFolder folder;
    TransferDisplay d;
    d.handler.setLogTextDelay(FtpEventHandler::DefaultLogTextDelayMs);
    int ticks = 0;
    QTimer pulse;
    QObject::connect(&pulse, &QTimer::timeout, [&ticks] { ++ticks; });
    pulse.start(100);
    QElapsedTimer took;
    took.start();
    const QStringList lines{"USER store", "331 Password required", "PASS ****", "230 Logged in"};
    for (const QString& line : lines)
        d.handler.onFtpLogText(line);
    QVERIFY(took.elapsed() >= 4 * FtpEventHandler::DefaultLogTextDelayMs);
    QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
    QCOMPARE(folder.logTexts("transact.log"), lines);

    // The window, and the handler with it, goes during a pause: the line is still logged.
    auto* closing = new FtpEventHandler(nullptr, nullptr, nullptr, nullptr);
    closing->setLogTextDelay(FtpEventHandler::DefaultLogTextDelayMs);
    QTimer::singleShot(50, [closing] { delete closing; });
    closing->onFtpLogText(QStringLiteral("221 Goodbye"));
    QCOMPARE(folder.logTexts("transact.log").last(), QStringLiteral("221 Goodbye"));
}

QTEST_MAIN(TestProgressBar)
#include "test_progressbar.moc"
