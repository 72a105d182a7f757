#include "client/foundation/instancelock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::State InstanceLock::tryLock() {
    if (isHeld())
        return State::Held;
    // Read-only is enough for flock(), so a lock file left by another account with fewer
    // rights still serves. Created with the mode every file of the folder gets.
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return State::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? State::HeldElsewhere : State::Unavailable;
    }
    m_handle = fd;
    return State::Held;
}

void InstanceLock::release() {
    if (!isHeld())
        return;
    ::close(int(m_handle)); // closing the last descriptor drops the lock
    m_handle = -1;
}
