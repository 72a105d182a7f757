#pragma once

#include <QString>
#include <QStringList>
#include <QTime>

// FTP over TLS, read the same way by both clients from section "system".
struct FtpTlsSettings {
    bool enabled = false; // FtpTls
    QString caFile;       // FtpCaFile, absolute; empty: the system's trust store
};

// The values of skyvane.ini as the windowed client reads them once at start.
struct ClientSettings {
    QString siteId;       // system/ID
    QString sitePassword; // system/Pass
    QString connection;   // system/Connection: "LAN" (any case) or a dial-up entry name
    QString server;       // system/Server
    qint32 port = 55555;
    bool passiveMode = true;
    qint16 defaultNumDaysToReProcess = 3;
    QTime timeToSend = QTime(0, 0);
    qint16 retry = 15; // minutes between dial retries
    FtpTlsSettings ftpTls;
    // Driver path, data path, alternate data path, an always empty fourth text, reports path.
    QString posPaths[5];
};

// The process-wide settings of the windowed client.
ClientSettings& clientSettings();

// Settings are read into 500-character buffers, so at most 499 characters of a value arrive.
constexpr int SettingsBufferSize = 500;

// One key of skyvane.ini as the clients read it: a 500-character buffer, cut by trimdown.
QString readSettingsKey(const QString& iniPath, const char* section, const char* key,
                        const char* defaultValue);

// The status line for a value that cannot be read as its type and keeps its default.
QString settingProblem(const char* key, const QString& value, const char* defaultValue);

// Reads FtpTls and FtpCaFile; a relative FtpCaFile is taken from the folder of iniPath. A FtpTls
// that is neither true nor false switches TLS on, so that a typing error never sends the
// passwords in clear text, and appends a line naming the value to *problems.
FtpTlsSettings readFtpTlsSettings(const QString& iniPath, QStringList* problems);

// Reads every key of skyvane.ini at iniPath in order into *out. A value that cannot be converted
// to its type keeps the key's default; a line naming the key and the value is appended to
// *problems for the caller to report.
void LoadSettings(const QString& iniPath, ClientSettings* out, QStringList* problems);
