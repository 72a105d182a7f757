#include "client/missions/mdbpagefile.h"

#include <cstring>

namespace Mdb {

namespace {
constexpr qint64 RunBytes = 256 * 1024;
}

bool PageFile::open(const QString& path, int pageSize) {
    close();
    m_pageSize = pageSize;
    m_file.setFileName(path);
    return pageSize > 0 && m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool PageFile::isOpen() const {
    return m_file.isOpen();
}

void PageFile::close() {
    m_file.close();
    m_count = 0;
}

bool PageFile::read(quint32 page, unsigned char* out, bool ahead) {
    if (page < m_first || page - m_first >= m_count) {
        m_count = 0;
        m_run.resize(ahead ? int(RunBytes - RunBytes % m_pageSize) : m_pageSize);
        const qint64 got = readAt(qint64(page) * m_pageSize, m_run.data(), m_run.size());
        if (got < m_pageSize)
            return false;
        m_first = page;
        m_count = quint32(got / m_pageSize);
    }
    std::memcpy(out, m_run.constData() + qint64(page - m_first) * m_pageSize, size_t(m_pageSize));
    return true;
}

quint32 PageFile::readPages(quint32 page, quint32 count, unsigned char* out) {
    const qint64 got =
        readAt(qint64(page) * m_pageSize, reinterpret_cast<char*>(out), qint64(count) * m_pageSize);
    return got < 0 ? 0 : quint32(got / m_pageSize);
}

} // namespace Mdb
