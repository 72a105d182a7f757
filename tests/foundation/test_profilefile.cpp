#include "client/foundation/profilefile.h"
#include "client/foundation/trimdown.h"
#include "tests/support/tempprogramfolder.h"

#include <QtTest>

class TestProfileFile : public QObject {
    Q_OBJECT
private slots:
    void missingFileGivesDefault();
    void sectionAndKeyIgnoreCase();
    void valueIsCutToBufferMinusOne();
    void firstKeyOfTwoWins();
    void writeChangesOneLineAndKeepsTheRest();
    void writeCreatesFileAndSection();
    void writeAddsKeyAtEndOfSection();
    void trimdownStopsAtNulWithinLimit();
    void lineBreaksAreNeverWritten();
    void everyHighByteComesBackUnchanged();
};

void TestProfileFile::missingFileGivesDefault() {
    TempProgramFolder folder;
    QCOMPARE(ProfileFile::readString(folder.file("none.ini"), "system", "Port", "55555", 500),
             QString("55555"));
}

void TestProfileFile::sectionAndKeyIgnoreCase() {
    TempProgramFolder folder;
    folder.write("a.ini", "[SYSTEM]\r\n  server =  host.example  \r\n");
    QCOMPARE(ProfileFile::readString(folder.file("a.ini"), "system", "Server", "", 500),
             QString("host.example"));
}

void TestProfileFile::valueIsCutToBufferMinusOne() {
    TempProgramFolder folder;
    const QByteArray v499(499, 'x');
    folder.write("a.ini", "[s]\r\nk=" + v499 + "\r\nl=" + v499 + "yz\r\n");
    QCOMPARE(ProfileFile::readString(folder.file("a.ini"), "s", "k", "", 500).size(), 499);
    QCOMPARE(ProfileFile::readString(folder.file("a.ini"), "s", "l", "", 500),
             QString::fromLatin1(v499));
    const QString buffer = ProfileFile::readBuffer(folder.file("a.ini"), "s", "k", "", 500);
    QCOMPARE(buffer.size(), 500);
    QCOMPARE(trimdown(buffer).size(), 499);
}

void TestProfileFile::firstKeyOfTwoWins() {
    TempProgramFolder folder;
    folder.write("a.ini", "[s]\r\nk=one\r\nK=two\r\n[s]\r\nk=three\r\n");
    QCOMPARE(ProfileFile::readString(folder.file("a.ini"), "s", "k", "", 500), QString("one"));
}

void TestProfileFile::writeChangesOneLineAndKeepsTheRest() {
    TempProgramFolder folder;
    const QByteArray before = "; comment\r\n[system]\r\nID=1\r\nPort=55555\r\n\r\n[other]\nx=1\n";
    folder.write("a.ini", before);
    QVERIFY(ProfileFile::writeString(folder.file("a.ini"), "SYSTEM", "port", "6000"));
    QCOMPARE(folder.read("a.ini"),
             QByteArray("; comment\r\n[system]\r\nID=1\r\nPort=6000\r\n\r\n[other]\nx=1\n"));
}

void TestProfileFile::writeCreatesFileAndSection() {
    TempProgramFolder folder;
    QVERIFY(ProfileFile::writeString(folder.file("new.ini"), "system", "ID", "42"));
    QCOMPARE(folder.read("new.ini"), QByteArray("[system]\r\nID=42\r\n"));
    QVERIFY(ProfileFile::writeString(folder.file("new.ini"), "TSD", "StartDate", "1/1/1995"));
    QCOMPARE(folder.read("new.ini"),
             QByteArray("[system]\r\nID=42\r\n[TSD]\r\nStartDate=1/1/1995\r\n"));
}

void TestProfileFile::writeAddsKeyAtEndOfSection() {
    TempProgramFolder folder;
    folder.write("a.ini", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2");
    QVERIFY(ProfileFile::writeString(folder.file("a.ini"), "a", "z", "3"));
    QVERIFY(ProfileFile::writeString(folder.file("a.ini"), "b", "w", "4"));
    QCOMPARE(folder.read("a.ini"), QByteArray("[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\nw=4\r\n"));

    // Found by fuzzing: a last line ended by a lone CR took the new section onto itself, and
    // the key written could not be read back.
    folder.write("c.ini", "[c]\r\nx=1\r");
    QVERIFY(ProfileFile::writeString(folder.file("c.ini"), "d", "y", "2"));
    QCOMPARE(ProfileFile::readString(folder.file("c.ini"), "d", "y", "none", 10), QString("2"));
    QCOMPARE(ProfileFile::readString(folder.file("c.ini"), "c", "x", "none", 10), QString("1"));
}

void TestProfileFile::trimdownStopsAtNulWithinLimit() {
    QCOMPARE(trimdown(QString("abc") + QChar(0) + "def"), QString("abc"));
    QCOMPARE(trimdown(QString(98, 'a') + QChar(0), 99), QString(98, 'a'));
    QCOMPARE(trimdown(QString(99, 'a') + QChar(0), 99), QString());
    QCOMPARE(trimdown(QString("no nul")), QString());
}

void TestProfileFile::lineBreaksAreNeverWritten() {
    TempProgramFolder folder;
    const QByteArray before = "[system]\r\nServer=old.example\r\nPassiveMode=True\r\n";
    folder.write("a.ini", before);
    const QString path = folder.file("a.ini");
    QString error;
    QVERIFY(!ProfileFile::writeString(path, "system", "Server",
                                      "central.example\r\nPassiveMode=False", &error));
    QVERIFY(error.contains("line break"));
    QVERIFY(!ProfileFile::writeString(path, "system", "Server", "a\nb"));
    QVERIFY(!ProfileFile::writeString(path, "system", "Ser\rver", "a"));
    QVERIFY(!ProfileFile::writeString(path, "sys\ntem", "Server", "a"));
    QCOMPARE(folder.read("a.ini"), before);
}

void TestProfileFile::everyHighByteComesBackUnchanged() {
    QByteArray high;
    for (int b = 0x80; b <= 0xff; ++b)
        high += char(b);
    TempProgramFolder folder;
    folder.write("a.ini", "[s]\r\nk=" + high + "\r\nid=Caf\xe9\r\n");
    const QString path = folder.file("a.ini");
    const QString value = ProfileFile::readString(path, "s", "k", "", 500);
    QCOMPARE(value.size(), 128);
    QCOMPARE(ProfileFile::readString(path, "s", "id", "", 500), QString::fromUtf8("Caf\u00e9"));
    QCOMPARE(value.at(0), QChar(0x20ac)); // Windows-1252, not U+FFFD
    QVERIFY(ProfileFile::writeString(path, "s", "copy", value));
    QVERIFY(folder.read("a.ini").endsWith("copy=" + high + "\r\n"));
    // What the code page cannot hold is written as "?".
    QVERIFY(
        ProfileFile::writeString(path, "s", "other", QString::fromUtf8("\u0100\u4e2d\U0001F600!")));
    QVERIFY(folder.read("a.ini").endsWith("other=??"
                                          "?!\r\n"));
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "test_profilefile.moc"
