#include "client/transfer/controlreply.h"

#include "client/foundation/ansitext.h"
#include "client/transfer/tlsplatform.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace ControlReply {

namespace {

#ifdef Q_OS_WIN
using NativeSocket = SOCKET;
#else
using NativeSocket = int;
#endif

// What plain FTP has received so far; false once nothing more can come.
bool peekPlain(qintptr socket, QByteArray& received) {
    char buffer[2048];
    const auto got = ::recv(NativeSocket(socket), buffer, int(sizeof buffer), MSG_PEEK);
    if (got > 0)
        received = QByteArray(buffer, int(got));
    return got > 0 || !waitReadable(socket, 0);
}

int port(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return -1;
}

// A reply's last line is its code and a blank; before it come "code-" lines.
QString firstReply(const QByteArray& received) {
    static const QRegularExpression lastLine(QStringLiteral("^\\d{3} "));
    qsizetype start = 0;
    for (qsizetype end = received.indexOf('\n'); end >= 0;
         start = end + 1, end = received.indexOf('\n', start)) {
        const QString line = AnsiText::decode(received.mid(start, end - start)).trimmed();
        if (lastLine.match(line).hasMatch())
            return line;
    }
    return QString();
}

} // namespace

bool waitReadable(qintptr socket, int ms) {
#ifdef Q_OS_WIN
    WSAPOLLFD fd{NativeSocket(socket), POLLRDNORM, 0};
    return WSAPoll(&fd, 1, ms) > 0;
#else
    pollfd fd{NativeSocket(socket), POLLIN, 0};
    return poll(&fd, 1, ms) > 0;
#endif
}

bool ports(qintptr socket, int& local, int& remote) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    local = getsockname(NativeSocket(socket), reinterpret_cast<sockaddr*>(&address), &size) == 0
                ? port(address)
                : -1;
    size = sizeof address;
    remote = getpeername(NativeSocket(socket), reinterpret_cast<sockaddr*>(&address), &size) == 0
                 ? port(address)
                 : -1;
    return remote >= 0;
}

bool isListening(qintptr socket) {
    int listening = 0;
    socklen_t size = sizeof listening;
    return getsockopt(NativeSocket(socket), SOL_SOCKET, SO_ACCEPTCONN,
                      reinterpret_cast<char*>(&listening), &size) == 0 &&
           listening != 0;
}

QString peek(void* curlHandle, qintptr socket, bool tls, int ms) {
    const QDeadlineTimer deadline(ms);
    QByteArray received;
    bool woken = false;
    for (;;) {
        const qsizetype before = received.size();
        const bool open = tls ? TlsPlatform::peekReceived(curlHandle, socket, received)
                              : peekPlain(socket, received);
        const QString reply = firstReply(received);
        // Plain text stays readable once there: woken with nothing new means the stream ended.
        if (!reply.isEmpty() || !open || (woken && !tls && received.size() == before))
            return reply;
        woken = waitReadable(socket, int(deadline.remainingTime()));
        if (!woken)
            return QString();
    }
}

bool waiting(void* curlHandle, qintptr socket, bool tls) {
    QByteArray received;
    const bool open =
        tls ? TlsPlatform::peekReceived(curlHandle, socket, received) : peekPlain(socket, received);
    return !open || !firstReply(received).isEmpty();
}

} // namespace ControlReply
