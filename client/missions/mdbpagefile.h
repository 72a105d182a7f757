#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace Mdb {

// Reads the pages of a database file a run at a time. libmdb seeks, checks the file's size and
// reads for every single page, which cost more than splitting the rows of the page; a table's
// pages mostly follow each other in the file, so one read brings a scan the next few dozen.
class PageFile {
public:
    bool open(const QString& path, int pageSize);
    bool isOpen() const;
    void close();
    // Copies the page into out (pageSize bytes); false when the file does not hold it whole.
    // With ahead the pages after it are read too, for a scan in page order.
    bool read(quint32 page, unsigned char* out, bool ahead);
    // Reads count pages from page on into out (count * pageSize bytes) with one read; returns
    // how many of them the file holds whole.
    quint32 readPages(quint32 page, quint32 count, unsigned char* out);

private:
    // Reads size bytes at offset (fewer at the end of the file); -1 on an error.
    qint64 readAt(qint64 offset, char* data, qint64 size);

    QFile m_file;
    int m_pageSize = 0;
    QByteArray m_run;
    quint32 m_first = 0;
    quint32 m_count = 0;
};

} // namespace Mdb
