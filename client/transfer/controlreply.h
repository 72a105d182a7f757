#pragma once

#include <QString>

// The FTP control connection as seen beside libcurl. When a transfer's data connection breaks,
// libcurl closes the control connection without reading the server's reply to the transfer (a
// full disk, a TLS session the server wanted resumed), so that reply has to be read before.
namespace ControlReply {

// Waits up to ms for data, or the end of the stream, on a socket; 0 only looks.
bool waitReadable(qintptr socket, int ms);

// The local and the remote port of a TCP socket; false when it has no remote end (any more),
// and then remote is -1.
bool ports(qintptr socket, int& local, int& remote);
bool isListening(qintptr socket);

// The last line of the first whole reply waiting on the control connection of a libcurl easy
// handle (CURL*), looked at without taking it, waiting up to ms for it to arrive. Empty when no
// whole reply came, or when the TLS library cannot be read beside libcurl.
QString peek(void* curlHandle, qintptr socket, bool tls, int ms);

// Whether a whole reply, or the end of the connection, waits on the control connection of a
// libcurl easy handle, so that libcurl reading it now would not wait. Over TLS only where the
// TLS library can be read beside libcurl (not Schannel, where libcurl ends the upload itself).
bool waiting(void* curlHandle, qintptr socket, bool tls);

} // namespace ControlReply
