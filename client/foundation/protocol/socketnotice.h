#pragma once

#include <QAbstractSocket>
#include <QString>

// The notice texts of socket errors are keyed on the Windows socket error numbers; this is the
// one place where the socket errors of this platform become those numbers.
namespace SocketNotice {

constexpr int ConnectionRefused = 10061;
constexpr int HostNotFound = 11001;
constexpr int HostNotFoundTryAgain = 11002;
constexpr int BadState = 40006;      // wrong protocol or connection state
constexpr int WrongProtocol = 40026; // the socket layer is not usable

int windowsErrorNumber(QAbstractSocket::SocketError error);

struct Notice {
    QString message;
    bool reconnect;
};

// The notice text for an error and whether the client connects again.
Notice forError(int errorNumber, const QString& server, const QString& description);

} // namespace SocketNotice
