// TCP_INFO_v0 is declared for Windows 10 version 1703 and later; older systems refuse the call.
#ifndef NTDDI_VERSION
#define NTDDI_VERSION 0x0A000003
#endif

#include "client/transfer/datasocket.h"

#include <winsock2.h>

#include <mstcpip.h>

namespace DataSocket {

Taken taken(qintptr socket) {
    DWORD version = 0;
    TCP_INFO_v0 info{};
    DWORD size = 0;
    Taken result;
    if (WSAIoctl(SOCKET(socket), SIO_TCP_INFO, &version, sizeof version, &info, sizeof info, &size,
                 nullptr, nullptr) != 0 ||
        size < sizeof info)
        return result;
    // BytesOut may count bytes sent again: without those and without what is still on its way,
    // the count grows only with acknowledgements.
    result.acknowledged =
        qint64(info.BytesOut) - qint64(info.BytesRetrans) - qint64(info.BytesInFlight);
    // Bytes not yet sent are not counted anywhere; with nothing in flight and the other side's
    // window open, though, none can be waiting.
    result.all = info.BytesInFlight == 0 && info.SndWnd > 0;
    return result;
}

qint64 sendSome(qintptr socket, const QByteArray& data) {
    const int sent = ::send(SOCKET(socket), data.constData(), int(data.size()), 0);
    if (sent != SOCKET_ERROR)
        return sent;
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

bool endSending(qintptr socket) {
    return ::shutdown(SOCKET(socket), SD_SEND) == 0;
}

} // namespace DataSocket
