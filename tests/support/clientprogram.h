#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class FtpServerFixture;
class QProcess;
class TempProgramFolder;

// Running the built programs (skyvane, update) from a temporary program folder against the
// session server and the FTP server fixture.
namespace ClientProgram {

// Copies the built program into the folder under its platform name.
bool installProgram(const TempProgramFolder& folder, const QString& name);
// Copies skyvane and its database worker and writes skyvane.ini for site STORE12, password
// "secret", over the LAN to 127.0.0.1:sessionPort.
bool installClient(const TempProgramFolder& folder, quint16 sessionPort);

// The server's side of a session from the registration to the client's update question
// (E10): FTP user, password and server address and the store folder handed over on the way.
// Keep-alives are ignored.
QString scriptToUpdateQuestion(const QString& ftpUser, const QString& ftpPassword,
                               const QString& ftpServer, const QString& storeFolder);

// The lines of skyvane.ini that make the clients use FTP over TLS with the server's CA.
QByteArray ftpTlsSettings(const FtpServerFixture& ftp);

// A Mission Pack with one getfile mission (a.ini) of the folder's reports/*.txt, and a report
// there (day.txt): the return pack holds a.ini and a.zip. With an archive folder the mission
// moves the reports there once the return pack has been delivered (ArchiveAfterGet).
QByteArray reportsPack(const TempProgramFolder& folder, const QString& archiveFolder = QString());

// Starts the client installed in the folder, its output passed through.
bool startClient(QProcess& process, const TempProgramFolder& folder,
                 const QStringList& arguments = {});
// Waits for a program to end; true when it ended normally with code 0.
bool endsNormally(QProcess& process, int ms = 90000);

// Lets events run until done() holds or ms have passed; returns done().
bool waitFor(const std::function<bool()>& done, int ms = 60000);

// The folder as a running program sees its own folder (links resolved).
QString runningFolder(const TempProgramFolder& folder);

// The texts of a log's bytes, without time stamps and CR LF.
QStringList logTexts(const QByteArray& log);

} // namespace ClientProgram
