#pragma once

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

// True when the server sends session tickets after the handshake (TLS 1.3) and libcurl reads
// them as it closes a connection.
bool ticketsFollowHandshake(void* curlHandle);

// Replaces received with the decrypted text waiting on the handle's control connection, whose
// socket is given, without taking it from libcurl. False once nothing more can come, or when
// the TLS library cannot be read beside libcurl (Schannel).
bool peekReceived(void* curlHandle, qintptr socket, QByteArray& received);

} // namespace TlsPlatform
