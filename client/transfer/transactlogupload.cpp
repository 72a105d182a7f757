#include "client/transfer/transactlogupload.h"

#include "client/foundation/fullwrite.h"
#include "client/transfer/transferhost.h"
#include "client/transfer/uploadfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// Drops the first `sent` bytes of the log if they are still the ones that went up.
void removeSentPart(TransferHost& host, const QString& logPath, const QString& snapshotPath) {
    QFile snapshot(snapshotPath);
    QFile log(logPath);
    if (!snapshot.open(QIODevice::ReadOnly) || !log.open(QIODevice::ReadOnly)) {
        host.writeStatus(QStringLiteral("Could not trim transact.log: ") + log.errorString());
        return;
    }
    const QByteArray sent = snapshot.readAll();
    const QByteArray head = log.read(sent.size());
    if (head != sent) {
        // Someone rewrote the log meanwhile: keep everything rather than lose lines.
        host.writeStatus(QStringLiteral("transact.log changed during its upload; kept whole"));
        return;
    }
    const QByteArray rest = log.readAll();
    log.close();
    if (rest.isEmpty()) {
        if (!QFile::remove(logPath))
            host.writeStatus(QStringLiteral("Could not delete transact.log"));
        return;
    }
    QSaveFile out(logPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !writeFully(out, rest.constData(), rest.size()) || !out.commit())
        host.writeStatus(QStringLiteral("Could not trim transact.log: ") + out.errorString());
}

} // namespace

bool UploadTransactLog(TransferHost& host, const QString& logPath, bool removeSent) {
    const QString snapshotPath = logPath + QStringLiteral(".sending");
    QFile::remove(snapshotPath);
    if (!QFileInfo::exists(logPath) || !QFile::copy(logPath, snapshotPath)) {
        // Nothing to freeze: the upload reports the missing file itself.
        return UploadFile(host, logPath, QStringLiteral("transact.log"));
    }
    const bool ok = UploadFile(host, logPath, QStringLiteral("transact.log"), snapshotPath);
    if (ok && removeSent)
        removeSentPart(host, logPath, snapshotPath);
    QFile::remove(snapshotPath);
    return ok;
}
