#include "headless/linebound.h"

#include <QString>

// mstcpip.h needs the types of winsock2.h first.
#include <winsock2.h>

#include <mstcpip.h>
#include <ws2tcpip.h>

#ifndef TCP_MAXRT
#define TCP_MAXRT 5 // seconds of retransmission before the connection ends (Vista and later)
#endif

namespace {
bool failed(const char* what, QString* error) {
    if (error)
        *error = QStringLiteral("%1: Windows socket error %2")
                     .arg(QLatin1String(what))
                     .arg(WSAGetLastError());
    return false;
}
} // namespace

namespace LineBound {

bool set(qintptr socket, int seconds, bool probes, QString* error) {
    const SOCKET s = SOCKET(socket);
    // Probes begin after half the bound of silence; the system sends ten of them (its fixed
    // count) in the other half.
    tcp_keepalive values = {};
    values.onoff = probes ? 1 : 0;
    values.keepalivetime = ULONG(seconds) * 500;
    values.keepaliveinterval = qMax(ULONG(1000), ULONG(seconds) * 50);
    DWORD returned = 0;
    if (WSAIoctl(s, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr,
                 nullptr) != 0)
        return failed("SIO_KEEPALIVE_VALS", error);
    // Where TCP_MAXRT is not known (wine), unacknowledged data keeps the system's own limit of
    // five retransmissions, about a minute: already within the bound.
    const DWORD maxrt = DWORD(seconds);
    setsockopt(s, IPPROTO_TCP, TCP_MAXRT, reinterpret_cast<const char*>(&maxrt), sizeof maxrt);
    return true;
}

} // namespace LineBound
