// Runs transfers of the FTP component from the command line, for bench/ftp_bench.sh:
//   ftpbench upload|download <host:port> <user> <password> <local file> <remote path>
//            [passive|active] [tls:<CA file>] [files:<n>]
// files:n moves the file n times in one login (to the same remote or local path). Prints the
// transfers' seconds (login excluded) and the number of status events.
#include "client/transfer/ftpclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 7 || (args[1] != "upload" && args[1] != "download")) {
        std::fprintf(stderr, "usage: ftpbench upload|download <host:port> <user> <password> "
                             "<local> <remote> [passive|active] [tls:<CA file>] [files:<n>]\n");
        return 2;
    }
    FtpClient ftp;
    ftp.setServerAddress(args[2]);
    ftp.setUserName(args[3]);
    ftp.setPassword(args[4]);
    ftp.setPort(21);
    ftp.setTransferModeFlag(false);
    bool active = false;
    int files = 1;
    for (const QString& option : args.mid(7)) {
        active = active || option == "active";
        if (option.startsWith("files:"))
            files = qMax(1, option.mid(6).toInt());
        if (option.startsWith("tls:")) {
            ftp.setTls(true);
            ftp.setCaFile(option.mid(4));
        }
    }
    int events = 0;
    QObject::connect(&ftp, &FtpClient::FtpTransferStatus, [&events] { ++events; });
    if (ftp.connectToServer() != 0) {
        std::fprintf(stderr, "connect: %s\n", qPrintable(ftp.errorDescription()));
        return 1;
    }
    ftp.setPassiveMode(!active);
    QElapsedTimer timer;
    timer.start();
    int result = 0;
    for (int i = 0; i < files && result == 0; ++i)
        result = args[1] == "upload" ? ftp.sendFile(args[5], 0, args[6], false)
                                     : ftp.receiveFile(args[6], 0, args[5]);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (result != 0) {
        std::fprintf(stderr, "error %d: %s\n", result, qPrintable(ftp.errorDescription()));
        return 1;
    }
    ftp.disconnectFromServer();
    std::printf("%.3f %d\n", seconds, events);
    return 0;
}
