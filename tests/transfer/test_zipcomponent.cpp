#include "client/foundation/tempfolder.h"
#include "client/transfer/zipcomponent.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/tempprogramfolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

namespace {

using Entries = QList<QPair<QString, QByteArray>>;

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(content), qint64(content.size()));
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// An archive written directly with libzip, so entries can carry any name at all; adjust sets
// what else an entry (by index) carries.
void makeArchive(const QString& path, const Entries& entries,
                 const std::function<void(zip_t*, zip_uint64_t)>& adjust = {}) {
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(za);
    for (const auto& entry : entries) {
        const QByteArray name = entry.first.toUtf8();
        if (name.endsWith('/')) {
            QVERIFY(zip_dir_add(za, name.constData(), ZIP_FL_ENC_RAW) >= 0);
            continue;
        }
        // libzip reads the buffer in zip_close and frees it then.
        void* data = entry.second.isEmpty() ? nullptr : malloc(size_t(entry.second.size()));
        if (data)
            memcpy(data, entry.second.constData(), size_t(entry.second.size()));
        zip_source_t* source = zip_source_buffer(za, data, zip_uint64_t(entry.second.size()), 1);
        QVERIFY(source);
        const zip_int64_t index = zip_file_add(za, name.constData(), source, ZIP_FL_ENC_RAW);
        QVERIFY(index >= 0);
        if (adjust)
            adjust(za, zip_uint64_t(index));
    }
    QCOMPARE(zip_close(za), 0);
}

QStringList archiveNames(const QString& path) {
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (!za)
        return {QStringLiteral("<unreadable>")};
    QStringList names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i)
        names << QString::fromUtf8(zip_get_name(za, zip_uint64_t(i), 0));
    zip_discard(za);
    names.sort();
    return names;
}

// Everything below folder, relative and sorted, folders marked with a trailing "/".
QStringList tree(const QString& folder) {
    QStringList all;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        all << QDir(folder).relativeFilePath(it.filePath()) + (it.fileInfo().isDir() ? "/" : "");
    }
    all.sort();
    return all;
}

qint16 zipFolder(ZipComponent& zip, const QString& archive, const QString& base,
                 const QString& mask) {
    zip.setArchiveName(archive);
    zip.setBaseFolder(base);
    zip.setMask(mask);
    zip.setZipFlagA(false);
    zip.setLevel(9);
    zip.setMethod(8);
    zip.setZipFlagB(true);
    return zip.zip();
}

qint16 unpackArchive(ZipComponent& zip, const QString& archive, const QString& destination,
                     const QString& mask) {
    zip.setArchiveName(archive);
    zip.setDestinationFolder(destination);
    zip.setMask(mask);
    zip.setZipFlagA(true);
    zip.setLevel(9);
    zip.setMethod(8);
    zip.setZipFlagB(true);
    return zip.unpack();
}

QByteArray compressible(int size) {
    QByteArray data;
    for (int i = 0; data.size() < size; ++i)
        data += "row " + QByteArray::number(i) + "\tstore 0042\tamount 12.50\r\n";
    return data.left(size);
}

// Text that takes level 9 a while, unlike the repetitive rows above.
QByteArray salesRows(int size, quint32 seed) {
    QByteArray data;
    while (data.size() < size) {
        seed = seed * 1103515245u + 12345u;
        data += QByteArray::number(seed % 100000) + "\tstore " + QByteArray::number(seed >> 20) +
                "\t" + QByteArray::number((seed >> 8) % 9999) + "\r\n";
    }
    return data.left(size);
}

QByteArray noise(int size, quint32 seed) {
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        data[i] = char(seed >> 24);
    }
    return data;
}

// Flips bytes of an archive where its copy of text begins (text stored uncompressed), or at
// offset bytes after the local header of the entry name.
void damage(const QString& archive, const QByteArray& at, int offset) {
    QByteArray bytes = readFile(archive);
    const qsizetype start = bytes.indexOf(at);
    QVERIFY(start >= 0);
    for (qsizetype i = start + offset; i < start + offset + 16; ++i)
        bytes[i] = char(~bytes[i]);
    writeFile(archive, bytes);
}

} // namespace

class TestZipComponent : public QObject {
    Q_OBJECT
private slots:
    void folderRoundTrip();
    void maskSelectsFilesAndEntries();
    void onlyTheAskedEntryIsUnpacked();
    void damagedArchiveLeavesFilesAlone();
    void climbingEntryIsRefused_data();
    void climbingEntryIsRefused();
    void foldersInsideTheDestinationAreRecreated();
    void unwritableDestination();
    void existingArchiveIsReplaced();
    void abortStopsBothOperations();
    void manyFilesKeepTheirOrderAndContent();
    void abortWhileWorkingLeavesNothingBehind();
    void unpackedFilesTakeOnlyTheExecutableBit();
    void lastEntryOfANameWins();
    void firstFailureInArchiveOrderIsReported();
    void fileChangingWhilePackedFailsThePacking();
    void fullDiskIsNamed();
    void temporariesOfTheProgramFolderGoToTheRunFolder();
};

void TestZipComponent::folderRoundTrip() {
    QTemporaryDir dir;
    const QString base = dir.filePath("MissionData");
    const QMap<QString, QByteArray> files = {
        {"orders.tsv", compressible(200000)},
        {"blob.bin", noise(70000, 7)},
        {"empty.dat", QByteArray()},
        {"noext", "x"},
        {"with space.ini", "[Mission]\r\nType=getdata\r\n"},
        {QString::fromUtf8("caf\xc3\xa9.txt"), "accent"},
    };
    for (auto it = files.begin(); it != files.end(); ++it)
        writeFile(base + "/" + it.key(), it.value());
    writeFile(base + "/sub/inner.txt", "not packed");

    ZipComponent zip;
    const QString archive = dir.filePath("MissionPackIn.zip");
    QCOMPARE(zipFolder(zip, archive, base, "*.*"), qint16(0));
    QStringList expected = files.keys();
    expected.sort();
    QCOMPARE(archiveNames(archive), expected);

    // Deflated, and level 9 is no worse than the default.
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &error);
    QVERIFY(za);
    zip_stat_t st;
    QCOMPARE(zip_stat(za, "orders.tsv", 0, &st), 0);
    QCOMPARE(int(st.comp_method), ZIP_CM_DEFLATE);
    QVERIFY(st.comp_size < st.size / 4);
    zip_discard(za);

    const QString destination = dir.filePath("out/deeper");
    QCOMPARE(unpackArchive(zip, archive, destination, "*.*"), qint16(0));
    QStringList unpacked = tree(destination);
    QCOMPARE(unpacked, expected);
    for (auto it = files.begin(); it != files.end(); ++it)
        QCOMPARE(readFile(destination + "/" + it.key()), it.value());
    QCOMPARE(QFileInfo(destination + "/orders.tsv").lastModified().toSecsSinceEpoch() / 2,
             QFileInfo(base + "/orders.tsv").lastModified().toSecsSinceEpoch() / 2);
}

void TestZipComponent::maskSelectsFilesAndEntries() {
    QTemporaryDir dir;
    const QString base = dir.filePath("src");
    for (const char* name : {"a.ini", "B.INI", "c.tsv", "a.ini.bak", "x1.txt", "x22.txt"})
        writeFile(base + "/" + name, name);

    ZipComponent zip;
    QCOMPARE(zipFolder(zip, dir.filePath("ini.zip"), base, "*.ini"), qint16(0));
    QCOMPARE(archiveNames(dir.filePath("ini.zip")), QStringList({"B.INI", "a.ini"}));
    QCOMPARE(zipFolder(zip, dir.filePath("q.zip"), base, "x?.txt"), qint16(0));
    QCOMPARE(archiveNames(dir.filePath("q.zip")), QStringList({"x1.txt"}));

    QCOMPARE(zipFolder(zip, dir.filePath("none.zip"), base, "*.mdb"), qint16(1));
    QVERIFY(!QFile::exists(dir.filePath("none.zip")));
    QVERIFY(zip.errorDescription(0, 1).contains("*.mdb"));

    QCOMPARE(zipFolder(zip, dir.filePath("all.zip"), base, "*.*"), qint16(0));
    QCOMPARE(archiveNames(dir.filePath("all.zip")).size(), 6);
    QCOMPARE(unpackArchive(zip, dir.filePath("all.zip"), dir.filePath("tsv"), "*.TSV"), qint16(0));
    QCOMPARE(tree(dir.filePath("tsv")), QStringList({"c.tsv"}));
}

void TestZipComponent::onlyTheAskedEntryIsUnpacked() {
    QTemporaryDir dir;
    const QString archive = dir.filePath("skyvane.zip");
    makeArchive(archive, {{"readme.txt", "read me"},
                          {"skyvane.new", "new client"},
                          {"old/skyvane.new", "wrong one"},
                          {"skyvane.exe", "not this"}});
    const QString program = dir.filePath("program");
    writeFile(program + "/skyvane.new", "left from an interrupted update");

    ZipComponent zip;
    QCOMPARE(unpackArchive(zip, archive, program, "skyvane.new"), qint16(0));
    QCOMPARE(tree(program), QStringList({"skyvane.new"}));
    QCOMPARE(readFile(program + "/skyvane.new"), QByteArray("new client"));

    // An archive without the asked file is a failure, and writes nothing.
    makeArchive(dir.filePath("other.zip"), {{"readme.txt", "read me"}});
    const QString empty = dir.filePath("empty");
    const qint16 result = unpackArchive(zip, dir.filePath("other.zip"), empty, "skyvane.new");
    QVERIFY(result != 0);
    QVERIFY(zip.errorDescription(0, result).contains("skyvane.new"));
    QVERIFY(!QFileInfo::exists(empty));
}

void TestZipComponent::damagedArchiveLeavesFilesAlone() {
    QTemporaryDir dir;
    ZipComponent zip;
    const QString destination = dir.filePath("dest");

    writeFile(dir.filePath("garbage.zip"), "this is no zip archive at all");
    qint16 result = unpackArchive(zip, dir.filePath("garbage.zip"), destination, "*.*");
    QCOMPARE(result, qint16(ZipComponent::ArchiveDamaged));
    QVERIFY(zip.errorDescription(0, result).contains("garbage.zip"));

    result = unpackArchive(zip, dir.filePath("absent.zip"), destination, "*.*");
    QCOMPARE(result, qint16(ZipComponent::ArchiveMissing));
    QVERIFY(!QFileInfo::exists(destination));

    // Flip bytes in the middle of the compressed data: the entry fails its check while being
    // written, and the file already there keeps its content.
    const QString base = dir.filePath("src");
    writeFile(base + "/data.tsv", compressible(400000) + noise(200000, 3));
    const QString archive = dir.filePath("pack.zip");
    QCOMPARE(zipFolder(zip, archive, base, "*.*"), qint16(0));
    QByteArray bytes = readFile(archive);
    for (int i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i)
        bytes[i] = char(~bytes[i]);
    writeFile(archive, bytes);
    writeFile(destination + "/data.tsv", "previous content");

    result = unpackArchive(zip, archive, destination, "*.*");
    QCOMPARE(result, qint16(ZipComponent::ArchiveDamaged));
    QVERIFY(zip.errorDescription(0, result).contains("data.tsv"));
    QCOMPARE(tree(destination), QStringList({"data.tsv"}));
    QCOMPARE(readFile(destination + "/data.tsv"), QByteArray("previous content"));
}

void TestZipComponent::climbingEntryIsRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("dot-dot slash") << "../evil.txt";
    QTest::newRow("dot-dot backslash") << "..\\evil.txt";
    QTest::newRow("climbs after a folder") << "sub/../../evil.txt";
    QTest::newRow("backslash root") << "\\evil.txt";
    QTest::newRow("drive letter") << "C:/evil.txt";
    QTest::newRow("drive relative") << "c:evil.txt";
    QTest::newRow("dots and blanks") << ".. /evil.txt";
}

void TestZipComponent::climbingEntryIsRefused() {
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString archive = dir.filePath("pack.zip");
    makeArchive(archive, {{"good.txt", "fine"}, {name, "escaped"}, {"later.txt", "fine"}});
    const QString destination = dir.filePath("a/b");

    ZipComponent zip;
    const qint16 result = unpackArchive(zip, archive, destination, "*.*");
    QCOMPARE(result, qint16(ZipComponent::UnsafeEntry));
    QVERIFY2(zip.errorDescription(0, result).contains(name),
             qPrintable(zip.errorDescription(0, result)));
    QCOMPARE(tree(dir.path()), QStringList({"pack.zip"}));
}

void TestZipComponent::foldersInsideTheDestinationAreRecreated() {
    QTemporaryDir dir;
    const QString archive = dir.filePath("pack.zip");
    const QString outside = dir.filePath("outside.txt");
    makeArchive(archive, {{"top.txt", "1"},
                          {"reports/", ""},
                          {"reports\\daily.txt", "2"},
                          {"reports/x/../weekly.txt", "3"},
                          {"./dot.txt", "4"}});
    const QString destination = dir.filePath("dest");
    ZipComponent zip;
    QCOMPARE(unpackArchive(zip, archive, destination, "*.*"), qint16(0));
    QCOMPARE(tree(destination), QStringList({"dot.txt", "reports/", "reports/daily.txt",
                                             "reports/weekly.txt", "top.txt"}));
    QCOMPARE(readFile(destination + "/reports/weekly.txt"), QByteArray("3"));
    QVERIFY(!QFile::exists(outside));
}

void TestZipComponent::unwritableDestination() {
    QTemporaryDir dir;
    const QString archive = dir.filePath("pack.zip");
    makeArchive(archive, {{"a.txt", "a"}, {"b.txt", "b"}});
    writeFile(dir.filePath("plainfile"), "a file where a folder should be");

    ZipComponent zip;
    qint16 result = unpackArchive(zip, archive, dir.filePath("plainfile/dest"), "*.*");
    QCOMPARE(result, qint16(ZipComponent::CannotCreateFolder));
    QVERIFY(zip.errorDescription(0, result).contains("plainfile"));

    // A folder in the way of a file: the file fails, the folder is untouched.
    const QString destination = dir.filePath("dest");
    QVERIFY(QDir().mkpath(destination + "/b.txt"));
    result = unpackArchive(zip, archive, destination, "*.*");
    QCOMPARE(result, qint16(ZipComponent::CannotWriteFile));
    QVERIFY(zip.errorDescription(0, result).contains("b.txt"));
    QVERIFY(QFileInfo(destination + "/b.txt").isDir());
}

void TestZipComponent::existingArchiveIsReplaced() {
    QTemporaryDir dir;
    const QString base = dir.filePath("MissionData");
    const QString archive = dir.filePath("MissionPackIn.zip");
    writeFile(base + "/old1.tsv", "1");
    writeFile(base + "/old2.tsv", "2");
    ZipComponent zip;
    QCOMPARE(zipFolder(zip, archive, base, "*.*"), qint16(0));

    QVERIFY(QFile::remove(base + "/old1.tsv"));
    QVERIFY(QFile::remove(base + "/old2.tsv"));
    writeFile(base + "/new.tsv", "3");
    QCOMPARE(zipFolder(zip, archive, base, "*.*"), qint16(0));
    QCOMPARE(archiveNames(archive), QStringList({"new.tsv"}));

    writeFile(archive, "not an archive");
    QCOMPARE(zipFolder(zip, archive, base, "*.*"), qint16(0));
    QCOMPARE(archiveNames(archive), QStringList({"new.tsv"}));
    QCOMPARE(tree(dir.path()),
             QStringList({"MissionData/", "MissionData/new.tsv", "MissionPackIn.zip"}));

    // An archive lying in the base folder is never packed into itself.
    const QString inside = base + "/pack.zip";
    QCOMPARE(zipFolder(zip, inside, base, "*.*"), qint16(0));
    QCOMPARE(zipFolder(zip, inside, base, "*.*"), qint16(0));
    QCOMPARE(archiveNames(inside), QStringList({"new.tsv"}));
}

void TestZipComponent::abortStopsBothOperations() {
    QTemporaryDir dir;
    writeFile(dir.filePath("src/a.txt"), "a");
    ZipComponent zip;
    zip.setAbort(true);
    QCOMPARE(zipFolder(zip, dir.filePath("a.zip"), dir.filePath("src"), "*.*"),
             qint16(ZipComponent::Aborted));
    QVERIFY(!QFile::exists(dir.filePath("a.zip")));
    zip.setAbort(false);
    QCOMPARE(zipFolder(zip, dir.filePath("a.zip"), dir.filePath("src"), "*.*"), qint16(0));
    zip.setAbort(true);
    QCOMPARE(unpackArchive(zip, dir.filePath("a.zip"), dir.filePath("out"), "*.*"),
             qint16(ZipComponent::Aborted));
    QVERIFY(!QFileInfo::exists(dir.filePath("out")));
}

void TestZipComponent::manyFilesKeepTheirOrderAndContent() {
    // More files than threads, in sizes that finish out of order, one of them noise followed
    // by text: stored blocks for the noise, compressed again for the text.
    QTemporaryDir dir;
    const QString base = dir.filePath("many");
    QMap<QString, QByteArray> files;
    for (int i = 0; i < 24; ++i)
        files[QString("f%1.txt").arg(i, 2, 10, QChar('0'))] = compressible((i % 5) * 90000 + i);
    files["mixed.bin"] = noise(1200000, 11) + compressible(5200000);
    files["empty.txt"] = QByteArray();
    for (auto it = files.begin(); it != files.end(); ++it)
        writeFile(base + "/" + it.key(), it.value());

    ZipComponent zip;
    const QString archive = dir.filePath("many.zip");
    QCOMPARE(zipFolder(zip, archive, base, "*.*"), qint16(0));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"many", "many.zip"}));
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &error);
    QVERIFY(za);
    QStringList order;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i)
        order << QString::fromUtf8(zip_get_name(za, zip_uint64_t(i), 0));
    zip_stat_t st;
    QCOMPARE(zip_stat(za, "mixed.bin", 0, &st), 0);
    QVERIFY(st.comp_size < st.size);
    zip_discard(za);
    QStringList sorted = order;
    sorted.sort(Qt::CaseInsensitive);
    QCOMPARE(order, sorted);
    QCOMPARE(order.size(), files.size());

    const QString out = dir.filePath("out");
    QCOMPARE(unpackArchive(zip, archive, out, "*.*"), qint16(0));
    for (auto it = files.begin(); it != files.end(); ++it)
        QCOMPARE(readFile(out + "/" + it.key()), it.value());
}

void TestZipComponent::abortWhileWorkingLeavesNothingBehind() {
    QTemporaryDir dir;
    const QString base = dir.filePath("big");
    for (int i = 0; i < 4; ++i)
        writeFile(base + QString("/part%1.tsv").arg(i), salesRows(6000000, quint32(i)));
    ZipComponent zip;
    const QString stored = dir.filePath("stored.zip");
    zip.setMethod(0);
    zip.setArchiveName(stored);
    zip.setBaseFolder(base);
    zip.setMask("*.*");
    zip.setLevel(0);
    QCOMPARE(zip.zip(), qint16(0));

    // Set from another thread as soon as the work shows (the temporary files of packing, the
    // destination folder of unpacking), while the component's threads are busy.
    for (bool packing : {true, false}) {
        zip.setAbort(false);
        std::thread aborter([&] {
            const QString sign = packing ? dir.path() : dir.filePath("out");
            for (int i = 0; i < 10000; ++i) {
                const QStringList seen =
                    QDir(sign).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
                if (packing ? !seen.filter(".tmp").isEmpty() : QFileInfo::exists(sign))
                    break;
                QThread::msleep(1);
            }
            zip.setAbort(true);
        });
        const qint16 result = packing ? zipFolder(zip, dir.filePath("all.zip"), base, "*.*")
                                      : unpackArchive(zip, stored, dir.filePath("out"), "*.*");
        aborter.join();
        QVERIFY2(result == ZipComponent::Aborted, packing ? "packing" : "unpacking");
    }
    // No archive, no temporary file, no half-written file: a file unpacked before the abort
    // came (a slow machine) is whole.
    QStringList left = tree(dir.path());
    for (const QString& name : left.filter(QRegularExpression("^out/."))) {
        const QString source = dir.filePath("big/" + name.mid(4));
        QVERIFY2(QFile::exists(source), qPrintable(name));
        QCOMPARE(readFile(dir.filePath(name)), readFile(source));
        left.removeOne(name);
    }
    QCOMPARE(
        left.join(' '),
        QString("big/ big/part0.tsv big/part1.tsv big/part2.tsv big/part3.tsv out/ stored.zip"));
}

void TestZipComponent::unpackedFilesTakeOnlyTheExecutableBit() {
#ifdef Q_OS_WIN
    QSKIP("Windows files have no Unix mode to take");
#endif
    QTemporaryDir dir;
    const QString archive = dir.filePath("update.zip");
    const QList<quint32> modes = {0100777, 0100666, 0120777};
    makeArchive(archive, {{"skyvane.new", "program"}, {"notes.txt", "text"}, {"link", "target"}},
                [&](zip_t* za, zip_uint64_t index) {
                    zip_file_set_external_attributes(za, index, 0, ZIP_OPSYS_UNIX,
                                                     modes[int(index)] << 16);
                });
    ZipComponent zip;
    QCOMPARE(unpackArchive(zip, archive, dir.filePath("out"), "*.*"), qint16(0));
    const auto permissions = [&](const char* name) {
        return QFileInfo(dir.filePath("out/") + name).permissions();
    };
    const QFileDevice::Permissions groupOrOtherWrite =
        QFileDevice::WriteGroup | QFileDevice::WriteOther;
    QVERIFY(permissions("skyvane.new") & QFileDevice::ExeOwner);
    for (const char* name : {"skyvane.new", "notes.txt", "link"})
        QVERIFY2(!(permissions(name) & groupOrOtherWrite), name);
    QVERIFY(!(permissions("notes.txt") & QFileDevice::ExeOwner));
    // A symbolic link entry is a plain file, not a program.
    QVERIFY(!QFileInfo(dir.filePath("out/link")).isSymLink());
    QVERIFY(!(permissions("link") & QFileDevice::ExeOwner));
}

// Two entries of one name (or equal but for case, one file on Windows): the last one in the
// archive, whichever thread takes which.
void TestZipComponent::lastEntryOfANameWins() {
    QTemporaryDir dir;
    const QString archive = dir.filePath("p.zip");
    makeArchive(archive, {{"a.txt", noise(2000000, 5)},
                          {"sub/B.txt", noise(1000000, 6)},
                          {"A.TXT", "last"},
                          {"sub/b.txt", "last b"}});
    ZipComponent zip;
    QCOMPARE(unpackArchive(zip, archive, dir.filePath("out"), "*.*"), qint16(0));
    QCOMPARE(tree(dir.filePath("out")), QStringList({"A.TXT", "sub/", "sub/b.txt"}));
    QCOMPARE(readFile(dir.filePath("out/A.TXT")), QByteArray("last"));
    QCOMPARE(readFile(dir.filePath("out/sub/b.txt")), QByteArray("last b"));
}

// Entry 0 fails its check at its end, entry 2 at once; the threads take the big entries first.
void TestZipComponent::firstFailureInArchiveOrderIsReported() {
    QTemporaryDir dir;
    const QString archive = dir.filePath("p.zip");
    const QByteArray first = "first entry, stored " + compressible(20000);
    Entries entries = {{"first.txt", first}};
    for (int i = 1; i <= 4; ++i)
        entries.append({QString("big%1.tsv").arg(i), salesRows(3000000, quint32(i))});
    makeArchive(archive, entries, [](zip_t* za, zip_uint64_t index) {
        if (index == 0)
            zip_set_file_compression(za, index, ZIP_CM_STORE, 0);
    });
    damage(archive, first, 100);
    damage(archive, "big2.tsv", 600);
    ZipComponent zip;
    const qint16 result = unpackArchive(zip, archive, dir.filePath("out"), "*.*");
    QCOMPARE(result, qint16(ZipComponent::ArchiveDamaged));
    QVERIFY2(zip.errorDescription(0, result).contains("\"first.txt\""),
             qPrintable(zip.errorDescription(0, result)));
}

// The store's program writes a file while it is packed: a torn copy never passes. The big
// files keep every thread busy while the report grows.
void TestZipComponent::fileChangingWhilePackedFailsThePacking() {
    QTemporaryDir dir;
    const QString base = dir.filePath("reports");
    for (int i = 0; i < 4; ++i)
        writeFile(base + QString("/big%1.tsv").arg(i), salesRows(3000000, quint32(i)));
    const QString report = base + "/day.tsv";
    writeFile(report, salesRows(100000, 9));
    ZipComponent zip;
    // Once the archive is being written (libzip's temporary file shows). No name filters in
    // this thread: their regular expressions crash a plain thread's end under wine.
    std::thread writer([&] {
        for (int i = 0; i < 10000; ++i) {
            const QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
            if (std::any_of(names.begin(), names.end(),
                            [](const QString& name) { return name.startsWith("p.zip."); }))
                break;
            QThread::msleep(1);
        }
        QFile file(report);
        if (file.open(QIODevice::Append))
            file.write("10249\tstore 7\t12\r\n");
    });
    const qint16 result = zipFolder(zip, dir.filePath("p.zip"), base, "*.*");
    writer.join();
    QCOMPARE(result, qint16(ZipComponent::CannotReadFile));
    QVERIFY2(zip.errorDescription(0, result).contains("day.tsv changed while it was being packed"),
             qPrintable(zip.errorDescription(0, result)));
    QVERIFY(!QFile::exists(dir.filePath("p.zip")));
}

// A write the disk cuts short names its cause (the files being unpacked: test_getdataworker).
void TestZipComponent::fullDiskIsNamed() {
    if (!FileSizeLimit::supported())
        QSKIP("no file size limit to set here (it stands in for a full disk on Linux)");
    QTemporaryDir dir;
    writeFile(dir.filePath("src/blob.bin"), noise(3000000, 4));
    ZipComponent zip;
    FileSizeLimit fullDisk(1000000);
    const qint16 result = zipFolder(zip, dir.filePath("p.zip"), dir.filePath("src"), "*.*");
    QCOMPARE(result, qint16(ZipComponent::CannotWriteFile));
    QVERIFY2(zip.errorDescription(0, result).endsWith(QString::fromLocal8Bit(std::strerror(EFBIG))),
             qPrintable(zip.errorDescription(0, result)));
}

// Archives and unpacked files of the program folder are written in the run's folder: a crash
// leaves nothing beside them, and the next start clears that folder.
void TestZipComponent::temporariesOfTheProgramFolderGoToTheRunFolder() {
    TempProgramFolder folder;
    const QString missionData = folder.file("MissionData");
    for (int i = 0; i < 3; ++i)
        writeFile(missionData + QString("/part%1.tsv").arg(i), salesRows(3000000, quint32(i)));
    const QString run = TempFolder::path();
    QVERIFY(!run.isEmpty());
    QStringList besideSeen, runSeen;
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done) {
            besideSeen << QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
            for (const QString& name : QDir(missionData).entryList(QDir::Files | QDir::Hidden)) {
                if (name.startsWith('.') || name.endsWith(".part"))
                    besideSeen << name;
            }
            runSeen << QDir(run).entryList(QDir::Files | QDir::Hidden);
            QThread::msleep(1);
        }
    });
    ZipComponent zip;
    const QString archive = folder.file("MissionPackIn.zip");
    const qint16 packed = zipFolder(zip, archive, missionData, "*.*");
    const qint16 unpacked = unpackArchive(zip, archive, folder.file("MissionData/out"), "*.*");
    done = true;
    watcher.join();
    QCOMPARE(packed, qint16(0));
    QCOMPARE(unpacked, qint16(0));
    besideSeen.removeAll("MissionPackIn.zip");
    QCOMPARE(besideSeen, QStringList());
    QVERIFY(!runSeen.filter(".deflate-").isEmpty());
    QVERIFY(!runSeen.filter(QRegularExpression("^part\\d.tsv.*\\.part$")).isEmpty());
    QCOMPARE(QDir(run).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

QTEST_GUILESS_MAIN(TestZipComponent)
#include "test_zipcomponent.moc"
