#pragma once

#include <QByteArray>
#include <QString>

// What FTP over TLS does differently on each platform: which certificates are trusted, and how
// the negotiated protocol is read back from the TLS library under libcurl (OpenSSL on Linux,
// Schannel on Windows). The handle is a libcurl easy handle (CURL*).
namespace TlsPlatform {

// Trust the system's certificate store, or only the CA certificates of caFile when it is given.
void applyTrustStore(void* curlHandle, const QString& caFile);

// The protocol version and cipher of the handle's control connection, as
// "TLSv1.3, cipher TLS_AES_256_GCM_SHA384"; empty when the TLS library does not tell.
QString negotiatedSession(void* curlHandle);

// Replaces received with the decrypted text waiting on the handle's control connection, whose
// socket is given, without taking it from libcurl. False once nothing more can come, or when
// the TLS library cannot be read beside libcurl (Schannel).
bool peekReceived(void* curlHandle, qintptr socket, QByteArray& received);
// Whether peekReceived can look at the text at all (not with Schannel).
bool canPeek();

// Told of every TLS connection a handle opens: report(client, tlsObject) runs inside libcurl as
// the connection's handshake starts.
struct ConnectionWatch {
    void (*report)(void* client, void* tlsObject) = nullptr;
    void* client = nullptr;
};

// Tells watch of the TLS connections the handle opens (watch must outlive them); false where
// the TLS library does not tell (Schannel).
bool watchConnections(void* curlHandle, const ConnectionWatch* watch);

// The TLS object of the handle's control connection, to tell it from a data connection.
void* controlConnection(void* curlHandle);

// The end of the TLS stream (close_notify) of a connection libcurl holds, made for the caller
// to send on the connection's socket: libcurl's way to the socket serves only inside its own
// calls. Empty when it cannot be made.
QByteArray closeNotify(void* tlsObject);

} // namespace TlsPlatform
