#include "client/missions/mdbpagefile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestMdbPageFile : public QObject {
    Q_OBJECT
private slots:
    void pagesComeWholeAcrossRuns();
};

// Page n of the file is filled with the byte n; the file ends with half a page.
void TestMdbPageFile::pagesComeWholeAcrossRuns() {
    constexpr int PageSize = 2048;
    constexpr int Pages = 300; // more than one run of reading ahead
    QTemporaryDir dir;
    const QString path = dir.filePath("pages.mdb");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int n = 0; n < Pages; ++n)
        file.write(QByteArray(PageSize, char(n)));
    file.write(QByteArray(PageSize / 2, 'x'));
    file.close();

    Mdb::PageFile pages;
    QVERIFY(pages.open(path, PageSize));
    QByteArray page(PageSize, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(page.data());
    // In order, backwards, and single pages far apart: always the page asked for.
    for (int n : {0, 1, 127, 128, 129, 299, 5, 200, 64, 3}) {
        QVERIFY(pages.read(quint32(n), out, n % 2 == 0));
        QCOMPARE(page, QByteArray(PageSize, char(n)));
    }
    QVERIFY(!pages.read(Pages, out, true));
    QVERIFY(!pages.read(Pages + 10, out, false));
    QVERIFY(pages.read(Pages - 1, out, false));
    QCOMPARE(page, QByteArray(PageSize, char(Pages - 1)));
}

QTEST_GUILESS_MAIN(TestMdbPageFile)
#include "test_mdbpagefile.moc"
