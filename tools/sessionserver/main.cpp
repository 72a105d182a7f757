// sessionserver: plays the Dockmere's side of a session from a script, on 127.0.0.1.
//
//   sessionserver [--address A] [--port N] [--port-file FILE] [--record FILE] SCRIPT
//
// --address A      listen on address A (default 127.0.0.1)
// --port N         listen on port N (default 0: a free port, printed at start)
// --port-file FILE write the port number into FILE once listening (for scripts that start a
//                  client after the server)
// --record FILE    append every byte received from the client to FILE, as it arrives
//
// Prints "listening on ADDRESS:PORT", then one line per event. Ends when the script has run
// through (exit 0) or when the client did something else than the script expects, or nothing
// came in time (exit 1, with the reason). Exit 2: bad command line or script.
//
// The script: one step per line; blank lines and lines starting with "#" are skipped. The
// argument is everything after the first blank, as it stands (blanks included). The server adds
// the terminator 0x08 to every message it sends and takes it off every message it receives.
//
//   expect TEXT      wait for the client's next message and require it to be TEXT exactly
//                    (a TEXT ending in "*" matches every message that begins with the rest)
//   ignore TEXT      from here on skip client messages equal to TEXT (or "*" prefix), for
//                    keep-alives: ignore STORE12E00
//   send TEXT        send one message in one write
//   together A|B|C   send several messages in one write
//   split N TEXT     send one message in two writes: its first N bytes, a pause of 200 ms,
//                    the rest (with the terminator)
//   raw BYTES        send bytes exactly as given, no terminator added
//   pause MS         wait MS milliseconds
//   close            close the connection; the next step that needs one waits for a new one
//   closed           wait until the client closes the connection
//   refuse           stop listening: connections are refused from now on
//   listen           listen again on the same port
//   timeout S        how long expect, closed and the wait for a connection may take (default
//                    30 seconds)
//
// Escapes in TEXT and BYTES: \\ \b (0x08) \t \r \n \| \* \xHH.
//
// A whole night for a client with ID STORE12 and password secret:
//
//   ignore STORE12E00
//   expect STORE12E01secret
//   send E011
//   expect STORE12E022.3.9018
//   send E02
//   expect STORE12E20
//   send E20ftpuser
//   expect STORE12E21
//   send E21ftppassword
//   expect STORE12E22
//   send E22127.0.0.1
//   expect STORE12E23
//   send E23store12
//   expect STORE12E10
//   send E13
//   expect STORE12E30*
//   send E30pack.zip
//   timeout 600
//   expect STORE12E31
//   send E08
//   expect STORE12E08
//   send E09
//   closed

#include "tools/sessionserver/sessionserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays the server side of a session."));
    parser.addHelpOption();
    const QCommandLineOption addressOption(QStringLiteral("address"),
                                           QStringLiteral("Address to listen on."),
                                           QStringLiteral("A"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port to use."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption portFileOption(QStringLiteral("port-file"),
                                            QStringLiteral("Write the port into FILE."),
                                            QStringLiteral("FILE"));
    const QCommandLineOption recordOption(QStringLiteral("record"),
                                          QStringLiteral("Append received bytes to FILE."),
                                          QStringLiteral("FILE"));
    parser.addOptions({addressOption, portOption, portFileOption, recordOption});
    parser.addPositionalArgument(QStringLiteral("script"), QStringLiteral("The script file."));
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (parser.positionalArguments().size() != 1) {
        err << "usage: sessionserver [--address A] [--port N] [--port-file FILE] [--record FILE] "
               "SCRIPT\n";
        return 2;
    }
    QFile scriptFile(parser.positionalArguments().first());
    if (!scriptFile.open(QIODevice::ReadOnly)) {
        err << "cannot read " << scriptFile.fileName() << "\n";
        return 2;
    }
    SessionServer server;
    QString error;
    if (!server.setScript(QString::fromUtf8(scriptFile.readAll()), &error)) {
        err << scriptFile.fileName() << ": " << error << "\n";
        return 2;
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    const QHostAddress address(parser.value(addressOption));
    if (!portOk || port > 65535 || address.isNull() || !server.listen(quint16(port), address)) {
        err << "cannot listen on " << parser.value(addressOption) << ":" << parser.value(portOption)
            << "\n";
        return 2;
    }
    out << "listening on " << address.toString() << ":" << server.port() << Qt::endl;
    if (parser.isSet(portFileOption)) {
        QFile portFile(parser.value(portFileOption));
        if (!portFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            err << "cannot write " << portFile.fileName() << "\n";
            return 2;
        }
        portFile.write(QByteArray::number(server.port()) + '\n');
    }

    QFile record(parser.value(recordOption));
    if (parser.isSet(recordOption) && !record.open(QIODevice::WriteOnly | QIODevice::Append)) {
        err << "cannot write " << record.fileName() << "\n";
        return 2;
    }
    QObject::connect(&server, &SessionServer::logLine, &app,
                     [&](const QString& line) { out << line << Qt::endl; });
    QObject::connect(&server, &SessionServer::bytesReceived, &app, [&](const QByteArray& bytes) {
        if (record.isOpen()) {
            record.write(bytes);
            record.flush();
        }
    });
    QObject::connect(&server, &SessionServer::finished, &app,
                     [&](bool ok) { QCoreApplication::exit(ok ? 0 : 1); });
    server.start();
    if (server.isFinished())
        return server.succeeded() ? 0 : 1;
    return app.exec();
}
