#pragma once

#include <QString>

class TransferHost;

// The login sequences and the transfer call shared by the upload, the Mission Pack download and
// the self-update download.
namespace FtpSteps {

enum class Login { Upload, PackDownload, UpdateDownload };

// Runs the login sequence of the given transfer with the session's FTP values. Returns the
// error number of the first step that failed (0 when logged in).
int login(TransferHost& host, Login kind);

// Sends or receives one file with the host's passive-mode rule: the PassiveMode setting, or
// (headless) passive first and, when that got no data connection, active once more (with a
// status line naming the passive failure). Returns the last error number.
int send(TransferHost& host, const QString& localPath, const QString& remotePath);
int receive(TransferHost& host, const QString& remotePath, const QString& localPath);

// Forgets the end of the last operation, before a transfer that reports its own.
void clearFtpDone(TransferHost& host);

// For a transfer that returned at once: repeat sleep 10 ms, let events run, until the
// component reported the end, with keep-alives going out meanwhile.
void waitForFtpDone(TransferHost& host);

// While the control connection is open: disconnect, sleep 1000 ms, let events run.
void disconnectLoop(TransferHost& host);

} // namespace FtpSteps
