#include "client/foundation/protocol/socketnotice.h"

namespace SocketNotice {

int windowsErrorNumber(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054; // connection reset by peer
    case QAbstractSocket::HostNotFoundError:
        return HostNotFound;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        return 10050;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return WrongProtocol;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return 10036; // operation in progress
    case QAbstractSocket::OperationError:
        return BadState;
    case QAbstractSocket::TemporaryError:
        return 10035; // would block
    default:
        return 0; // no Windows number: shown with its description
    }
}

Notice forError(int errorNumber, const QString& server, const QString& description) {
    switch (errorNumber) {
    case ConnectionRefused:
        return {QStringLiteral("The ") + server +
                    QStringLiteral(" Server computer was found, but I can't connect to the "
                                   "Dockmere. If problems persist please call your Tabulon "
                                   "Service Provider."),
                true};
    case HostNotFound:
    case HostNotFoundTryAgain:
        return {QStringLiteral("The ") + server +
                    QStringLiteral(" Server computer may be down. Please wait while I try to "
                                   "connect. If problems persist please call your Tabulon "
                                   "Service Provider."),
                true};
    case BadState:
        return {description + QStringLiteral(" Check your TCP/IP settings in Network control "
                                             "panel, it may not be loaded"),
                false};
    case WrongProtocol:
        return {description + QStringLiteral(" Check your TCP/IP settings in Network control "
                                             "panel, it may not be loaded."),
                false};
    default:
        return {description, true};
    }
}

} // namespace SocketNotice
