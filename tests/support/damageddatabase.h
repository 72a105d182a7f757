#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A copy of a database file damaged at run time the ways a power cut or a short copy damages
// one: cut at a page boundary, bytes overwritten in its pages.
class DamagedDatabase {
public:
    // Reads the healthy file; pages are located through its own catalog.
    explicit DamagedDatabase(const QString& healthyPath);

    int pageSize() const;
    int pageCount() const;
    // The data pages of a table, in file order.
    QList<int> dataPagesOf(const QString& table) const;
    // Where row `row` of a page starts and how long it is (from the page's offset table).
    int rowStart(int page, int row) const;
    int rowSize(int page, int row) const;
    // Where bytes first occur in a page; -1 when they do not.
    int offsetIn(int page, const QByteArray& bytes) const;
    // Where the page's row count lies; the offset table follows it.
    int rowCountOffset() const;

    void truncateToPages(int pages);
    void overwrite(int page, int offset, const QByteArray& bytes);
    void writeTo(const QString& path) const;

private:
    int int16At(qint64 offset) const;

    QString m_healthyPath;
    QByteArray m_bytes;
    int m_pageSize = 4096;
};
