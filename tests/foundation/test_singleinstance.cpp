#include "client/foundation/singleinstance.h"
#include "tests/support/testdata.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secondStartAsksFirstAndEnds();
    void busyFirstInstanceIsAskedOnceFree();
    void busyFirstInstanceStillEndsTheSecond();
    void channelOfACrashedInstanceIsTakenOver();
    void otherFolderRunsItsOwnInstance();
    void hungCopyHoldingTheLockStaysTheOnlyOne();
    void longFolderPathStillAnswers();

private:
    QProcess* start(const QString& folder, const QStringList& extra = {});
    QStringList record() const;
    int count(const QString& what) const;

    QTemporaryDir* m_dir = nullptr;
    QList<QProcess*> m_processes;
};

void TestSingleInstance::init() {
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
}

void TestSingleInstance::cleanup() {
    for (QProcess* p : m_processes) {
        p->kill();
        p->waitForFinished(5000);
        delete p;
    }
    m_processes.clear();
    delete m_dir;
}

QProcess* TestSingleInstance::start(const QString& folder, const QStringList& extra) {
    QDir().mkpath(folder);
    auto* p = new QProcess;
    m_processes << p;
    p->start(TestData::program("singleinstance_helper"),
             QStringList{folder, m_dir->filePath("record.txt")} + extra);
    return p;
}

QStringList TestSingleInstance::record() const {
    QFile file(m_dir->filePath("record.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

int TestSingleInstance::count(const QString& what) const {
    int n = 0;
    for (const QString& line : record())
        n += line.endsWith(what) ? 1 : 0;
    return n;
}

void TestSingleInstance::secondStartAsksFirstAndEnds() {
    const QString folder = m_dir->filePath("program");
    QProcess* first = start(folder);
    QVERIFY(first->waitForStarted());
    const QString firstPid = QString::number(first->processId());
    QTRY_COMPARE_WITH_TIMEOUT(count("listening"), 1, 20000);
    QProcess* second = start(folder);
    QVERIFY(second->waitForStarted());
    const QString secondPid = QString::number(second->processId());
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(first->waitForFinished(20000));
    QStringList lines = record();
    lines.sort();
    QStringList expected{firstPid + " locked", firstPid + " listening",
                         firstPid + " activationRequested",
                         secondPid + " asked the first and ended"};
    expected.sort();
    QCOMPARE(lines, expected);
}

void TestSingleInstance::busyFirstInstanceIsAskedOnceFree() {
    const QString folder = m_dir->filePath("program");
    QProcess* first = start(folder, {"3000"});
    QTRY_COMPARE_WITH_TIMEOUT(count("listening"), 1, 20000);
    QProcess* second = start(folder);
    // The second waits longer than the first is busy, until the first has taken the request:
    // the request is not lost on any platform.
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(count("asked the first and ended"), 1);
    QVERIFY(first->waitForFinished(20000));
    QCOMPARE(count("activationRequested"), 1);
}

void TestSingleInstance::busyFirstInstanceStillEndsTheSecond() {
    const QString folder = m_dir->filePath("program");
    // The first sleeps longer than the second waits for an answer.
    QProcess* first = start(folder, {"3000"});
    QTRY_COMPARE_WITH_TIMEOUT(count("listening"), 1, 20000);
    QProcess* second = start(folder, {"0", "300"});
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(count("asked the first and ended"), 1);
#ifdef Q_OS_WIN
    // Qt's local sockets are pipes without a buffer on Windows: a request still unread when the
    // second instance gave up waiting is gone. The first runs on, alone.
    QTest::qWait(4000);
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(count("activationRequested"), 0);
#else
    // The request waited in the channel until the first was free again.
    QVERIFY(first->waitForFinished(20000));
    QCOMPARE(count("activationRequested"), 1);
#endif
    QCOMPARE(count("listening"), 1);
}

void TestSingleInstance::channelOfACrashedInstanceIsTakenOver() {
    const QString folder = m_dir->filePath("program");
    QProcess* first = start(folder);
    QTRY_COMPARE_WITH_TIMEOUT(count("listening"), 1, 20000);
    first->kill();
    QVERIFY(first->waitForFinished(20000));
    QProcess* second = start(folder);
    QTRY_COMPARE_WITH_TIMEOUT(count("listening"), 2, 20000);
    QCOMPARE(second->state(), QProcess::Running);
    QCOMPARE(count("asked the first and ended"), 0);
    QVERIFY(SingleInstance("sitest", folder).isAnswering());
}

void TestSingleInstance::otherFolderRunsItsOwnInstance() {
    start(m_dir->filePath("one"));
    QTRY_COMPARE_WITH_TIMEOUT(count("listening"), 1, 20000);
    start(m_dir->filePath("two"));
    QTRY_COMPARE_WITH_TIMEOUT(count("listening"), 2, 20000);
    QCOMPARE(count("asked the first and ended"), 0);
    QVERIFY(!SingleInstance("sitest", m_dir->filePath("three")).isAnswering(500));
}

void TestSingleInstance::hungCopyHoldingTheLockStaysTheOnlyOne() {
    const QString folder = m_dir->filePath("program");
    // The first takes the lock and hangs longer than the second waits for an answer.
    QProcess* first = start(folder, {"0", "0", "6000"});
    QTRY_COMPARE_WITH_TIMEOUT(count("locked"), 1, 20000);
    QProcess* second = start(folder, {"0", "500"});
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(count("got no answer and ended"), 1);
    // The hung copy wakes and answers; nobody else took its place meanwhile.
    QTRY_COMPARE_WITH_TIMEOUT(count("listening"), 1, 20000);
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(count("locked"), 1);
    QVERIFY(SingleInstance("sitest", folder).isRunning());
}

void TestSingleInstance::longFolderPathStillAnswers() {
    // Longer than any socket address can be.
    const QString folder = m_dir->filePath(QString(70, 'a') + "/" + QString(70, 'b'));
    start(folder);
    QTRY_COMPARE_WITH_TIMEOUT(count("listening"), 1, 20000);
    QVERIFY(SingleInstance("sitest", folder).isAnswering());
    QProcess* second = start(folder);
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(count("asked the first and ended"), 1);
    QTRY_COMPARE_WITH_TIMEOUT(count("activationRequested"), 1, 20000);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
