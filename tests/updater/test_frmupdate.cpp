#include "client/foundation/paths.h"
#include "client/foundation/prompter.h"
#include "updater/executableswap.h"
#include "updater/frmupdate.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {
// Records what the window asked of it instead of touching files.
class RecordingSwap : public ExecutableSwap {
public:
    using ExecutableSwap::ExecutableSwap;
    QStringList moves;
    QStringList starts;

protected:
    bool clientStillRunning() override {
        return false;
    }
    bool moveFile(const QString& from, const QString& to, bool, QString*) override {
        moves << QFileInfo(from).fileName() + " > " + QFileInfo(to).fileName();
        return true;
    }
    bool makeExecutable(const QString&, QString*) override {
        return true;
    }
    bool startClient(const QString& commandLine, QString*) override {
        starts << commandLine;
        return true;
    }
};
} // namespace

class TestFrmUpdate : public QObject {
    Q_OBJECT
private slots:
    void showsAndWaitsTwentySeconds();
    void tickSwapsStartsAndCloses();
    void failureShowsOneErrorBox();
};

void TestFrmUpdate::showsAndWaitsTwentySeconds() {
    QTemporaryDir dir;
    RecordingSwap swap(dir.path());
    ScriptedPrompter prompter;
    frmUpdate form(&swap, "default", &prompter);
    QCOMPARE(form.windowTitle(), QString("Configuring Auto Update - Standby"));
    QCOMPARE(form.lblStatus()->text(), QString("Configuring Auto Update..."));
    QCOMPARE(form.lblStatus()->font().pointSize(), 12);
    QVERIFY(!form.lblStatus()->font().bold());
    QVERIFY(!form.tmrUpdate()->isActive());

    form.start();
    QVERIFY(form.isVisible());
    QVERIFY(form.tmrUpdate()->isActive());
    QCOMPARE(form.tmrUpdate()->interval(), 20000);
    QCOMPARE(form.tmrUpdate()->timerType(), Qt::PreciseTimer);
    QVERIFY(swap.moves.isEmpty());
}

void TestFrmUpdate::tickSwapsStartsAndCloses() {
    QTemporaryDir dir;
    QFile(dir.filePath("skyvane.new")).open(QIODevice::WriteOnly);
    RecordingSwap swap(dir.path());
    ScriptedPrompter prompter;
    frmUpdate form(&swap, "default", &prompter);
    form.start();
    form.tmrUpdate_Timer();
    QCOMPARE(swap.starts, QStringList{"default"});
    QCOMPARE(swap.moves.size(), 1); // no client present: only skyvane.new moves in
    QVERIFY(!form.isVisible());
    QVERIFY(!form.tmrUpdate()->isActive());
    QVERIFY(!form.failed());
    QVERIFY(prompter.asked().isEmpty());
}

void TestFrmUpdate::failureShowsOneErrorBox() {
    QTemporaryDir dir; // no skyvane.new
    RecordingSwap swap(dir.path());
    ScriptedPrompter prompter;
    frmUpdate form(&swap, "default", &prompter);
    form.start();
    form.tmrUpdate_Timer();
    QVERIFY(swap.moves.isEmpty());
    QVERIFY(swap.starts.isEmpty());
    QVERIFY(form.failed());
    QVERIFY(!form.isVisible());
    QCOMPARE(prompter.asked().size(), 1);
    QCOMPARE(prompter.asked()[0].icon, Prompter::Icon::Critical);
    QCOMPARE(prompter.asked()[0].buttons, Prompter::Buttons::Ok);
    QVERIFY(prompter.asked()[0].text.startsWith("Error in tmrUpdate_Timer: skyvane.new"));
}

QTEST_MAIN(TestFrmUpdate)
#include "test_frmupdate.moc"
