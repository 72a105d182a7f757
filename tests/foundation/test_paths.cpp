#include "client/foundation/paths.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestPaths : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void makeDirCreatesEachLevel_data();
    void makeDirCreatesEachLevel();
    void makeDirRelativeToCurrentFolder();
    void makeDirKeepsTheRoot();
    void makeDirNetworkPath();
    void makeDirExistingAndPartlyExisting();
    void makeDirStopsAtAFileInTheWay();
    void makeDirRejectsNetworkPathWithoutShare();
    void splitPathRows_data();
    void splitPathRows();
    void splitPathRejectsEmptyPath();
    void joinAndNative();
    void driveLetterFolders();
    void plainFileNames_data();
    void plainFileNames();

private:
    QString base() const;
    bool isDir(const QString& relative) const;

    QTemporaryDir* m_dir = nullptr;
    QString m_savedCurrent;
};

void TestPaths::init() {
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_savedCurrent = QDir::currentPath();
}

void TestPaths::cleanup() {
    QDir::setCurrent(m_savedCurrent);
    delete m_dir;
    m_dir = nullptr;
}

QString TestPaths::base() const {
    return QDir::toNativeSeparators(m_dir->path());
}

bool TestPaths::isDir(const QString& relative) const {
    return QFileInfo(m_dir->path() + "/" + relative).isDir();
}

void TestPaths::makeDirCreatesEachLevel_data() {
    // The temporary folder stands for "C:"; both separators are accepted.
    QTest::addColumn<QString>("tail");
    QTest::newRow("C:\\A\\B") << "\\A\\B";
    QTest::newRow("C:\\A\\B\\") << "\\A\\B\\";
    QTest::newRow("C:/A/B") << "/A/B";
    QTest::newRow("doubled separators") << "\\A\\\\B";
}

void TestPaths::makeDirCreatesEachLevel() {
    QFETCH(QString, tail);
    QString error;
    QVERIFY2(cMakeDir(base() + tail, &error), qPrintable(error));
    QVERIFY(isDir("A/B"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"A"});
}

void TestPaths::makeDirRelativeToCurrentFolder() {
    QVERIFY(QDir::setCurrent(m_dir->path()));
    QString error;
    QVERIFY2(cMakeDir("A\\B", &error), qPrintable(error));
    QVERIFY(isDir("A/B"));
}

void TestPaths::makeDirKeepsTheRoot() {
    // "\A\B" names a folder below the root, not below the current folder.
    QTemporaryDir elsewhere;
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QString rooted = QDir::fromNativeSeparators(base());
    rooted = rooted.mid(rooted.indexOf('/')).replace('/', '\\');
    QVERIFY(rooted.startsWith('\\') && !rooted.startsWith("\\\\"));
    QString error;
    QVERIFY2(cMakeDir(rooted + "\\A\\B", &error), qPrintable(error));
    QVERIFY(isDir("A/B"));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

void TestPaths::makeDirNetworkPath() {
#ifdef Q_OS_WIN
    QSKIP("needs a network share");
#else
    // "//x/y/rest" is "/x/y/rest" here, so the first two levels of the temporary folder play
    // server and share: they exist and are never tested or created.
    const QStringList levels = m_dir->path().split('/', Qt::SkipEmptyParts);
    QVERIFY(levels.size() >= 2);
    const QString unc = "\\\\" + levels.join('\\');
    QString error;
    QVERIFY2(cMakeDir(unc + "\\A\\B", &error), qPrintable(error));
    QVERIFY(isDir("A/B"));
    // Server and share alone: nothing to do. A share that does not exist is not created.
    QVERIFY(cMakeDir("\\\\" + levels[0] + "\\" + levels[1], &error));
    QVERIFY(!cMakeDir("\\\\" + levels[0] + "\\no-such-share-here\\A", &error));
    QVERIFY(!QFileInfo::exists("/" + levels[0] + "/no-such-share-here"));
#endif
}

void TestPaths::makeDirExistingAndPartlyExisting() {
    QVERIFY(QDir(m_dir->path()).mkpath("A/B"));
    QString error;
    QVERIFY(cMakeDir(base() + "\\A\\B", &error));
    QVERIFY(error.isEmpty());
    QVERIFY(cMakeDir(base() + "\\A\\B\\C\\D", &error));
    QVERIFY(isDir("A/B/C/D"));
}

void TestPaths::makeDirStopsAtAFileInTheWay() {
    QVERIFY(QDir(m_dir->path()).mkpath("A"));
    QFile file(m_dir->path() + "/A/B");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QString error;
    QVERIFY(!cMakeDir(base() + "\\A\\B\\C", &error));
    QVERIFY2(error.contains("B"), qPrintable(error));
    QVERIFY(QFileInfo(m_dir->path() + "/A/B").isFile());
}

void TestPaths::makeDirRejectsNetworkPathWithoutShare() {
    QString error;
    QVERIFY(!cMakeDir("\\\\srv", &error));
    QVERIFY(!error.isEmpty());
    error.clear();
    QVERIFY(!cMakeDir("\\\\", &error));
    QVERIFY(!error.isEmpty());
}

void TestPaths::splitPathRows_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("returned");
    QTest::addColumn<QString>("folder");
    QTest::newRow("C:\\Data\\*.txt") << "C:\\Data\\*.txt"
                                     << "*.txt"
                                     << "C:\\Data";
    QTest::newRow("C:\\file.txt") << "C:\\file.txt"
                                  << "file.txt"
                                  << "C:";
    QTest::newRow("C:\\Data\\") << "C:\\Data\\"
                                << ""
                                << "C:\\Data";
    QTest::newRow("file.txt") << "file.txt"
                              << ""
                              << "unchanged";
    QTest::newRow("\\file.txt") << "\\file.txt"
                                << ""
                                << "unchanged";
    QTest::newRow("/srv/data/*.ini") << "/srv/data/*.ini"
                                     << "*.ini"
                                     << "/srv/data";
    QTest::newRow("mixed") << "C:/Data\\Sub/x?.csv"
                           << "x?.csv"
                           << "C:/Data\\Sub";
}

void TestPaths::splitPathRows() {
    QFETCH(QString, path);
    QFETCH(QString, returned);
    QFETCH(QString, folder);
    QString out = "unchanged";
    QString error;
    QCOMPARE(SplitPath(path, out, &error), returned);
    QCOMPARE(out, folder);
    QVERIFY(error.isEmpty());
}

void TestPaths::splitPathRejectsEmptyPath() {
    QString folder = "kept";
    QString error;
    QCOMPARE(SplitPath(QString(), folder, &error), QString());
    QCOMPARE(folder, QString("kept"));
    QVERIFY(!error.isEmpty());
}

void TestPaths::joinAndNative() {
    const QChar sep = QDir::separator();
    QCOMPARE(Paths::join("a\\b", "c.ini"), QString("a%1b%1c.ini").arg(sep));
    QCOMPARE(Paths::join("a/", "c.ini"), QString("a%1c.ini").arg(sep));
    QCOMPARE(Paths::toNative("x/y\\z"), QString("x%1y%1z").arg(sep));
    Paths::setProgramFolderForTesting("/p/q");
    QCOMPARE(Paths::inProgramFolder("skyvane.ini"), QString("%1p%1q%1skyvane.ini").arg(sep));
    Paths::setProgramFolderForTesting(QString());
#ifdef Q_OS_WIN
    QCOMPARE(Paths::executableName("skyvane"), QString("skyvane.exe"));
#else
    QCOMPARE(Paths::executableName("skyvane"), QString("skyvane"));
#endif
}

void TestPaths::driveLetterFolders() {
    // Windows folders as installers and people write them, on every platform.
    const QString sep = QDir::separator();
    auto native = [&](QString path) { return path.replace('\\', sep); };
    QCOMPARE(Paths::join("C:\\", "skyvane.ini"), native("C:\\skyvane.ini"));
    QCOMPARE(Paths::join("C:/", "skyvane.ini"), native("C:\\skyvane.ini"));
    QCOMPARE(Paths::join("D:\\Stores\\Store 12", "MissionData"),
             native("D:\\Stores\\Store 12\\MissionData"));
    QCOMPARE(Paths::join("\\\\srv\\share\\", "x.zip"), native("\\\\srv\\share\\x.zip"));
    Paths::setProgramFolderForTesting("C:/Stores/Store 12/");
    QCOMPARE(Paths::inProgramFolder("skyvane.ini"), native("C:\\Stores\\Store 12\\skyvane.ini"));
    Paths::setProgramFolderForTesting(QString());
#ifdef Q_OS_WIN
    // The real program folder: the drive's form, with backslashes.
    QVERIFY2(QRegularExpression("^[A-Za-z]:\\\\").match(Paths::programFolder()).hasMatch(),
             qPrintable(Paths::programFolder()));
    QVERIFY(!Paths::programFolder().contains('/'));
#endif
}

void TestPaths::plainFileNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("pack") << "MissionPack7.zip" << true;
    QTest::newRow("blank and dots") << "store 12.v2.zip" << true;
    QTest::newRow("device-like word") << "console.zip" << true;
    QTest::newRow("drive relative") << "C:pack.zip" << false;
    QTest::newRow("drive root") << "C:\\pack.zip" << false;
    QTest::newRow("backslash folder") << "in\\pack.zip" << false;
    QTest::newRow("network") << "\\\\srv\\share" << false;
    QTest::newRow("stream") << "pack.zip:hidden" << false;
    QTest::newRow("wildcard") << "pack?.zip" << false;
    QTest::newRow("device") << "NUL" << false;
    QTest::newRow("device with extension") << "con.zip" << false;
    QTest::newRow("numbered device") << "Lpt1 .txt" << false;
    QTest::newRow("control character") << "pack\t.zip" << false;
}

void TestPaths::plainFileNames() {
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(Paths::isPlainFileName(name), plain);
}

QTEST_GUILESS_MAIN(TestPaths)
#include "test_paths.moc"
