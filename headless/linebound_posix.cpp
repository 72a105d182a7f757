#include "headless/linebound.h"

#include <QString>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
bool setOption(int fd, int level, int name, int value, const char* what, QString* error) {
    if (setsockopt(fd, level, name, &value, sizeof value) == 0)
        return true;
    if (error)
        *error = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                              QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}
} // namespace

namespace LineBound {

bool set(qintptr socket, int seconds, bool probes, QString* error) {
    const int fd = int(socket);
    // Probes begin after half the bound of silence and fill the other half; the last unanswered
    // one ends the connection.
    const int idle = std::max(1, seconds / 2);
    const int interval = std::max(1, seconds / 12);
    const int count = std::max(1, (seconds - idle + interval - 1) / interval);
    if (!setOption(fd, SOL_SOCKET, SO_KEEPALIVE, probes ? 1 : 0, "SO_KEEPALIVE", error))
        return false;
    if (probes && !(setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, idle, "TCP_KEEPIDLE", error) &&
                    setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, interval, "TCP_KEEPINTVL", error) &&
                    setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, count, "TCP_KEEPCNT", error)))
        return false;
#ifdef TCP_USER_TIMEOUT
    // Also caps the probes: the connection ends once nothing came back for this long.
    return setOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, seconds * 1000, "TCP_USER_TIMEOUT", error);
#else
    return true;
#endif
}

} // namespace LineBound
