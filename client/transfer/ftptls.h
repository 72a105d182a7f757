#pragma once

#include <QString>

// Explicit FTP over TLS on a libcurl easy handle (CURL*): AUTH TLS on the control connection,
// protected data connections, the server's certificate always verified.
namespace FtpTls {

// No fall-back to clear text: a server that refuses AUTH TLS fails the login.
void configure(void* curlHandle, const QString& caFile);

// The error description for a libcurl error code that concerns TLS, naming the step (the last
// command sent) and the reason given in detail (the server's reply or libcurl's message); empty
// for other codes.
QString failureText(int code, const QString& lastCommand, const QString& detail);

// The log line after the handshake of the control connection.
QString sessionLine(void* curlHandle);

// Why active-mode transfers cannot run over TLS with the libcurl in use; empty when they can.
QString activeModeProblem();

} // namespace FtpTls
