#include "client/foundation/tempfolder.h"
#include "tests/support/tempprogramfolder.h"

#include <QDir>
#include <QLockFile>
#include <QtTest>

namespace {
QStringList entries(const QString& folder) {
    QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}
} // namespace

class TestTempFolder : public QObject {
    Q_OBJECT
private slots:
    void endedRunsAreClearedHeldOnesKept();
};

// What runs that ended left (a crash: its lock names a process that is gone; a folder whose
// lock went) goes; a folder whose lock a live process holds stays.
void TestTempFolder::endedRunsAreClearedHeldOnesKept() {
    TempProgramFolder folder;
    const QString temp = folder.file("temp");
    QVERIFY(QDir().mkpath(temp + "/skyvane-1") && QDir().mkpath(temp + "/svGetData-2") &&
            QDir().mkpath(temp + "/vanelet-3"));
    folder.write("temp/skyvane-1.lock", "999999999\nskyvane\n\n");
    folder.write("temp/skyvane-1/.deflate-a1b2c3.tmp", "spool");
    folder.write("temp/svGetData-2/orders.tsv.0a1b2c.part", "rows");
    folder.write("temp/vanelet-3/pack.zip.0a1b2c.part", "pack");
    QLockFile held(temp + "/vanelet-3.lock");
    QVERIFY(held.tryLock(0));

    TempFolder::clearLeftovers();
    QCOMPARE(entries(temp), QStringList({"vanelet-3", "vanelet-3.lock"}));
    QCOMPARE(entries(temp + "/vanelet-3"), QStringList({"pack.zip.0a1b2c.part"}));
}

QTEST_GUILESS_MAIN(TestTempFolder)
#include "test_tempfolder.moc"
