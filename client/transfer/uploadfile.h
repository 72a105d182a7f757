#pragma once

#include <QString>

class TransferHost;

// Uploads one local file into the store folder on the FTP server ("\" + StoreFolder + "\" +
// remoteName) and reports every step through the host. True when the server took the file.
// sourcePath, when given, is the file whose bytes go up in place of localPath (a snapshot of a
// log that keeps growing); the status lines still name localPath.
bool UploadFile(TransferHost& host, const QString& localPath, const QString& remoteName,
                const QString& sourcePath = QString());
