#include "client/foundation/filesearch.h"
#include "tests/support/tempprogramfolder.h"

#include <QDir>
#include <QtTest>

class TestFileSearch : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void patterns_data();
    void patterns();
    void folderAndPatternInOnePath();
    void firstFile();
    void matchesRules();

private:
    TempProgramFolder* m_folder = nullptr;
};

void TestFileSearch::cleanup() {
    delete m_folder;
    m_folder = nullptr;
}

void TestFileSearch::init() {
    m_folder = new TempProgramFolder;
    for (const char* name : {"a.txt", "B.TXT", "readme", "ab.ini", "x.ini.bak"})
        m_folder->write(name, "x");
    // Neither folders nor hidden files are found.
    QDir(m_folder->path()).mkdir("dir.txt");
#ifndef Q_OS_WIN
    m_folder->write(".hidden.txt", "x");
#endif
}

void TestFileSearch::patterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("*.*") << "*.*" << QStringList{"a.txt", "ab.ini", "B.TXT", "readme", "x.ini.bak"};
    QTest::newRow("*") << "*" << QStringList{"a.txt", "ab.ini", "B.TXT", "readme", "x.ini.bak"};
    QTest::newRow("*.txt any case") << "*.txt" << QStringList{"a.txt", "B.TXT"};
    QTest::newRow("*.INI") << "*.INI" << QStringList{"ab.ini"};
    QTest::newRow("?.txt") << "?.txt" << QStringList{"a.txt", "B.TXT"};
    QTest::newRow("??.ini") << "??.ini" << QStringList{"ab.ini"};
    QTest::newRow("?.ini") << "?.ini" << QStringList{};
    QTest::newRow("exact name") << "README" << QStringList{"readme"};
    QTest::newRow("folder name") << "dir.txt" << QStringList{};
    QTest::newRow("no match") << "*.mdb" << QStringList{};
}

void TestFileSearch::patterns() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, found);
    QCOMPARE(FileSearch::findFiles(m_folder->path(), pattern), found);
}

void TestFileSearch::folderAndPatternInOnePath() {
    QCOMPARE(FileSearch::findFiles(m_folder->path() + "\\*.ini"), QStringList{"ab.ini"});
    QCOMPARE(FileSearch::findFiles(m_folder->path() + "/*.TXT"), (QStringList{"a.txt", "B.TXT"}));
    QCOMPARE(FileSearch::findFiles(m_folder->path() + "/missing/*.*"), QStringList{});
}

void TestFileSearch::firstFile() {
    QCOMPARE(FileSearch::firstFile(m_folder->path() + "\\*.txt"), QString("a.txt"));
    QCOMPARE(FileSearch::firstFile(m_folder->path() + "\\*.zip"), QString());
}

void TestFileSearch::matchesRules() {
    QVERIFY(FileSearch::matches("*.*", "noext"));
    QVERIFY(FileSearch::matches("data.*", "data"));
    QVERIFY(FileSearch::matches("a*c", "abbbc"));
    QVERIFY(FileSearch::matches("a*c", "ac"));
    QVERIFY(!FileSearch::matches("a?c", "ac"));
    QVERIFY(!FileSearch::matches("*.ini", "x.ini.bak"));
    QVERIFY(FileSearch::matches("*.ini", "MISSION1.INI"));
    QVERIFY(!FileSearch::matches("", "a"));
    QVERIFY(FileSearch::matches("*a*b*", "xaxxbx"));
    QVERIFY(FileSearch::matches("*ab", "aab"));
    QVERIFY(!FileSearch::matches("*a?", "xa"));
    // Many stars against a long name that almost matches: answered at once, not by trying
    // every way of sharing the name out between the stars.
    QVERIFY(!FileSearch::matches("*a*a*a*a*a*b", QString(120, 'a')));
    QVERIFY(FileSearch::matches("*a*a*a*a*a*b", QString(120, 'a') + "b"));
}

QTEST_GUILESS_MAIN(TestFileSearch)
#include "test_filesearch.moc"
