#include "tests/support/damageddatabase.h"

#include <QFile>

// mdbtools.h needs GLib's types first where libmdb uses GLib; elsewhere it brings its own.
#if __has_include(<glib.h>)
#include <glib.h>
#endif

#include <mdbtools.h>

DamagedDatabase::DamagedDatabase(const QString& healthyPath) : m_healthyPath(healthyPath) {
    QFile file(healthyPath);
    if (file.open(QIODevice::ReadOnly))
        m_bytes = file.readAll();
    // The version byte: 0 for Jet 3 with its 2 KB pages.
    m_pageSize = m_bytes.size() > 0x14 && m_bytes[0x14] == 0 ? 2048 : 4096;
}

int DamagedDatabase::pageSize() const {
    return m_pageSize;
}

int DamagedDatabase::pageCount() const {
    return int(m_bytes.size() / m_pageSize);
}

int DamagedDatabase::rowCountOffset() const {
    return m_pageSize == 2048 ? 0x08 : 0x0c;
}

QList<int> DamagedDatabase::dataPagesOf(const QString& table) const {
    quint32 definitionPage = 0;
    if (MdbHandle* mdb = mdb_open(QFile::encodeName(m_healthyPath).constData(), MDB_NOFLAGS)) {
        if (mdb_read_catalog(mdb, MDB_TABLE)) {
            for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
                auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
                if (e->object_type == MDB_TABLE && table == QString::fromUtf8(e->object_name))
                    definitionPage = quint32(e->table_pg);
            }
        }
        mdb_close(mdb);
    }
    QList<int> pages;
    for (int page = 1; page < pageCount() && definitionPage; ++page) {
        const qint64 at = qint64(page) * m_pageSize;
        if (m_bytes[at] == 0x01 &&
            quint32(int16At(at + 4)) + (quint32(int16At(at + 6)) << 16) == definitionPage)
            pages << page;
    }
    return pages;
}

int DamagedDatabase::rowStart(int page, int row) const {
    return int16At(qint64(page) * m_pageSize + rowCountOffset() + 2 + 2 * row) & 0x1fff;
}

int DamagedDatabase::rowSize(int page, int row) const {
    const int end = row == 0 ? m_pageSize : rowStart(page, row - 1);
    return end - rowStart(page, row);
}

int DamagedDatabase::offsetIn(int page, const QByteArray& bytes) const {
    const qint64 start = qint64(page) * m_pageSize;
    const qint64 at = m_bytes.indexOf(bytes, start);
    return at >= 0 && at + bytes.size() <= start + m_pageSize ? int(at - start) : -1;
}

void DamagedDatabase::truncateToPages(int pages) {
    m_bytes.truncate(qint64(pages) * m_pageSize);
}

void DamagedDatabase::overwrite(int page, int offset, const QByteArray& bytes) {
    m_bytes.replace(qint64(page) * m_pageSize + offset, bytes.size(), bytes);
}

void DamagedDatabase::writeTo(const QString& path) const {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(m_bytes);
}

int DamagedDatabase::int16At(qint64 offset) const {
    return quint8(m_bytes[offset]) | (quint8(m_bytes[offset + 1]) << 8);
}
