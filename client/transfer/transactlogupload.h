#pragma once

#include <QString>

class TransferHost;

// Uploads transact.log into the store folder as it was when the upload began. Status lines
// keep arriving in the log while it travels; with removeSent, a successful upload removes
// exactly the bytes that went up, so the lines written meanwhile stay for the next upload (and
// the file goes away when nothing else was written). True when the server took the file.
bool UploadTransactLog(TransferHost& host, const QString& logPath, bool removeSent);
