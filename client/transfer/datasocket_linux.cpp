#include "client/transfer/datasocket.h"

#include <cerrno>
#include <cstddef>

#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace DataSocket {

Taken taken(qintptr socket) {
    tcp_info info{};
    socklen_t size = sizeof info;
    Taken result;
    // Older kernels fill a shorter structure: the fields used here came with 4.1 and 4.6.
    if (getsockopt(int(socket), IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        size < offsetof(tcp_info, tcpi_notsent_bytes) + sizeof info.tcpi_notsent_bytes)
        return result;
    result.acknowledged = qint64(info.tcpi_bytes_acked);
    result.all = info.tcpi_unacked == 0 && info.tcpi_notsent_bytes == 0;
    return result;
}

qint64 sendSome(qintptr socket, const QByteArray& data) {
    const ssize_t sent =
        ::send(int(socket), data.constData(), size_t(data.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent >= 0)
        return sent;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

bool endSending(qintptr socket) {
    return ::shutdown(int(socket), SHUT_WR) == 0;
}

} // namespace DataSocket
