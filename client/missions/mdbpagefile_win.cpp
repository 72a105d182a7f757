#include "client/missions/mdbpagefile.h"

namespace Mdb {

qint64 PageFile::readAt(qint64 offset, char* data, qint64 size) {
    if (!m_file.seek(offset))
        return -1;
    return m_file.read(data, size);
}

} // namespace Mdb
