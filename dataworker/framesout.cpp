#include "dataworker/framesout.h"

#include <QtGlobal>

#include <cerrno>
#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
int framesFd = 1;
}

void FramesOut::take() {
#ifdef Q_OS_WIN
    const int fd = _dup(_fileno(stdout));
    if (fd < 0)
        return;
    _setmode(fd, _O_BINARY);
    _dup2(_fileno(stderr), _fileno(stdout));
#else
    const int fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0)
        return;
    dup2(STDERR_FILENO, STDOUT_FILENO);
#endif
    framesFd = fd;
}

void FramesOut::write(const char* bytes, size_t size) {
    while (size > 0) {
#ifdef Q_OS_WIN
        const int written = _write(framesFd, bytes, unsigned(size));
#else
        const ssize_t written = ::write(framesFd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
#endif
        if (written <= 0)
            return;
        bytes += written;
        size -= size_t(written);
    }
}
