#include "client/foundation/paths.h"
#include "client/foundation/singleinstance.h"
#include "tests/support/testdata.h"
#include "updater/executableswap.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// A swap whose chosen step fails.
class FailingSwap : public ExecutableSwap {
public:
    enum class Step { None, MoveNewIn, MakeExecutable };
    FailingSwap(const QString& folder, Step step) : ExecutableSwap(folder), m_step(step) {}

protected:
    bool moveFile(const QString& from, const QString& to, bool replace, QString* error) override {
        if (m_step == Step::MoveNewIn && from == newPath()) {
            *error = "disk trouble";
            return false;
        }
        return ExecutableSwap::moveFile(from, to, replace, error);
    }
    bool makeExecutable(const QString& path, QString* error) override {
        if (m_step == Step::MakeExecutable) {
            *error = "no rights";
            return false;
        }
        return ExecutableSwap::makeExecutable(path, error);
    }

private:
    Step m_step;
};
} // namespace

class TestExecutableSwap : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void swapKeepsPreviousBuildAndRestarts_data();
    void swapKeepsPreviousBuildAndRestarts();
    void newBuildMissingChangesNothing();
    void clientStillRunningChangesNothing();
    void oldBuildThatCannotGoChangesNothing();
    void failurePartWayPutsPreviousBuildBack_data();
    void failurePartWayPutsPreviousBuildBack();
    void newBuildThatCannotStartIsTakenBack();
    void storeWithoutClientGetsTheNewBuild();

private:
    QString path(const QString& name) const;
    QByteArray read(const QString& name) const;
    void write(const QString& name, const QByteArray& content) const;
    void putRecorderAsNewBuild() const;
    QStringList started() const;
    QStringList entries() const;

    QTemporaryDir* m_root = nullptr;
    QString m_folder;
    QByteArray m_recorder;
};

void TestExecutableSwap::init() {
    m_root = new QTemporaryDir;
    QVERIFY(m_root->isValid());
    // The client starts from its quoted path, so a folder with blanks must work.
    m_folder = Paths::toNative(m_root->filePath("Program Files/sky vane"));
    QVERIFY(QDir().mkpath(m_folder));
    QFile recorder(TestData::program("recordargs"));
    QVERIFY(recorder.open(QIODevice::ReadOnly));
    m_recorder = recorder.readAll();
}

void TestExecutableSwap::cleanup() {
    delete m_root;
    m_root = nullptr;
}

QString TestExecutableSwap::path(const QString& name) const {
    return Paths::join(m_folder, name);
}

QByteArray TestExecutableSwap::read(const QString& name) const {
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestExecutableSwap::write(const QString& name, const QByteArray& content) const {
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void TestExecutableSwap::putRecorderAsNewBuild() const {
    write("skyvane.new", m_recorder);
    // As unpacked from the archive: not executable yet.
    QFile(path("skyvane.new")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

QStringList TestExecutableSwap::started() const {
    QFile file(path("started.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QStringList TestExecutableSwap::entries() const {
    return QDir(m_folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

static const QString client = Paths::executableName("skyvane");

void TestExecutableSwap::swapKeepsPreviousBuildAndRestarts_data() {
    QTest::addColumn<bool>("oldPresent");
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("default, no skyvane.old") << false << "default" << QStringList{"default"};
    QTest::newRow("default, skyvane.old present") << true << "default" << QStringList{"default"};
    QTest::newRow("empty command line") << true << "" << QStringList{};
#ifdef Q_OS_WIN
    // The command line goes as it stands; the client joins its words again.
    QTest::newRow("session name with blanks")
        << false << "night shift" << QStringList{"night", "shift"};
#else
    QTest::newRow("session name with blanks")
        << false << "night shift" << QStringList{"night shift"};
#endif
}

void TestExecutableSwap::swapKeepsPreviousBuildAndRestarts() {
    QFETCH(bool, oldPresent);
    QFETCH(QString, commandLine);
    QFETCH(QStringList, arguments);
    write(client, "previous build");
    if (oldPresent)
        write("skyvane.old", "build before that");
    putRecorderAsNewBuild();

    ExecutableSwap swap(m_folder);
    QString error;
    QVERIFY2(swap.run(commandLine, &error), qPrintable(error));
    QCOMPARE(read("skyvane.old"), QByteArray("previous build"));
    QCOMPARE(read(client), m_recorder);
    QVERIFY(!QFile::exists(path("skyvane.new")));

    QTRY_VERIFY_WITH_TIMEOUT(started().size() == arguments.size() + 2, 20000);
    const QStringList lines = started();
    QCOMPARE(lines.first(), QString::number(arguments.size()));
    QCOMPARE(lines.mid(1, arguments.size()), arguments);
    QCOMPARE(QDir(lines.last().mid(4)).canonicalPath(), QDir(m_folder).canonicalPath());
}

void TestExecutableSwap::newBuildMissingChangesNothing() {
    write(client, "previous build");
    write("skyvane.old", "build before that");
    ExecutableSwap swap(m_folder);
    QString error;
    QVERIFY(!swap.run("default", &error));
    QVERIFY2(error.contains("skyvane.new") && error.contains("Nothing was changed"),
             qPrintable(error));
    QCOMPARE(read(client), QByteArray("previous build"));
    QCOMPARE(read("skyvane.old"), QByteArray("build before that"));
    QCOMPARE(entries(), (QStringList{client, "skyvane.old"}));
}

void TestExecutableSwap::clientStillRunningChangesNothing() {
    write(client, "running build");
    write("skyvane.old", "build before that");
    putRecorderAsNewBuild();
    // The running client holds the folder's instance lock, whether it answers or hangs.
    SingleInstance runningClient(QString::fromLatin1(ClientInstanceName), m_folder);
    QVERIFY(runningClient.takeLock());
    ExecutableSwap swap(m_folder);
    QString error;
    QVERIFY(!swap.run("default", &error));
    QVERIFY2(error.contains("still running"), qPrintable(error));
    QCOMPARE(read(client), QByteArray("running build"));
    QCOMPARE(read("skyvane.old"), QByteArray("build before that"));
    QCOMPARE(read("skyvane.new"), m_recorder);
    QVERIFY(started().isEmpty());
}

void TestExecutableSwap::oldBuildThatCannotGoChangesNothing() {
    write(client, "previous build");
    putRecorderAsNewBuild();
    // A folder of that name cannot be replaced by a file, whoever runs the test.
    QVERIFY(QDir(m_folder).mkpath("skyvane.old/inner"));
    ExecutableSwap swap(m_folder);
    QString error;
    QVERIFY(!swap.run("default", &error));
    QVERIFY2(error.contains("skyvane.old") && error.contains("Nothing was changed"),
             qPrintable(error));
    QCOMPARE(read(client), QByteArray("previous build"));
    QCOMPARE(read("skyvane.new"), m_recorder);
    QVERIFY(QFileInfo(path("skyvane.old")).isDir());
}

void TestExecutableSwap::failurePartWayPutsPreviousBuildBack_data() {
    QTest::addColumn<int>("step");
    QTest::newRow("moving skyvane.new in") << int(FailingSwap::Step::MoveNewIn);
    QTest::newRow("making it executable") << int(FailingSwap::Step::MakeExecutable);
}

void TestExecutableSwap::failurePartWayPutsPreviousBuildBack() {
    QFETCH(int, step);
    write(client, "previous build");
    write("skyvane.old", "build before that");
    putRecorderAsNewBuild();
    FailingSwap swap(m_folder, FailingSwap::Step(step));
    QString error;
    QVERIFY(!swap.run("default", &error));
    QVERIFY2(error.contains("previous build was put back"), qPrintable(error));
    QCOMPARE(read(client), QByteArray("previous build"));
    QCOMPARE(read("skyvane.new"), m_recorder);
    QVERIFY(started().isEmpty());
}

void TestExecutableSwap::newBuildThatCannotStartIsTakenBack() {
    write(client, "previous build");
    write("skyvane.new", "a damaged download");
    ExecutableSwap swap(m_folder);
    QString error;
    QVERIFY(!swap.run("default", &error));
    QVERIFY2(error.contains("Cannot start") && error.contains("put back"), qPrintable(error));
    QCOMPARE(read(client), QByteArray("previous build"));
    QCOMPARE(read("skyvane.new"), QByteArray("a damaged download"));
}

void TestExecutableSwap::storeWithoutClientGetsTheNewBuild() {
    putRecorderAsNewBuild();
    ExecutableSwap swap(m_folder);
    QString error;
    QVERIFY2(swap.run("default", &error), qPrintable(error));
    QCOMPARE(read(client), m_recorder);
    QVERIFY(!QFile::exists(path("skyvane.old")));
    QTRY_VERIFY_WITH_TIMEOUT(started().size() == 3, 20000);
    QCOMPARE(started().mid(0, 2), (QStringList{"1", "default"}));
}

QTEST_GUILESS_MAIN(TestExecutableSwap)
#include "test_executableswap.moc"
