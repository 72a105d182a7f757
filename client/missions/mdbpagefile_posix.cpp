#include "client/missions/mdbpagefile.h"

#include <cerrno>
#include <unistd.h>

namespace Mdb {

// One positioned read: a seek, a read and the size check around it were three system calls
// for each page that a read in date order fetches on its own.
qint64 PageFile::readAt(qint64 offset, char* data, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t got =
            ::pread(m_file.handle(), data + done, size_t(size - done), off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

} // namespace Mdb
