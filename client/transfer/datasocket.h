#pragma once

#include <QByteArray>
#include <QtGlobal>

// A transfer's data connection as seen beside libcurl: how far the other side has taken what
// was written to it, and ending what we send on it. One back end per system: TCP_INFO on Linux,
// SIO_TCP_INFO on Windows (10 version 1703 and later; older systems and wine refuse it).
namespace DataSocket {

struct Taken {
    // Grows as the other side acknowledges bytes; -1 where the system does not tell.
    qint64 acknowledged = -1;
    // Nothing written is waiting to be sent or to be acknowledged (false where not told).
    bool all = false;
};

Taken taken(qintptr socket);

// Sends what it can of data at once, without waiting and without a signal: the number of bytes
// taken (0 when the socket's buffer is full), or -1 when the connection is gone.
qint64 sendSome(qintptr socket, const QByteArray& data);

// Ends our direction of the connection: the other side reads the end of the stream.
bool endSending(qintptr socket);

} // namespace DataSocket
