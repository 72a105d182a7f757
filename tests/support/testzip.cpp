#include "tests/support/testzip.h"

#include "client/transfer/zipcomponent.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace TestZip {

QByteArray make(const QMap<QString, QByteArray>& files) {
    QTemporaryDir stage;
    QDir(stage.path()).mkdir(QStringLiteral("in"));
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile f(stage.filePath(QStringLiteral("in/") + it.key()));
        if (!f.open(QIODevice::WriteOnly))
            return QByteArray();
        f.write(it.value());
    }
    ZipComponent zip;
    zip.setArchiveName(stage.filePath(QStringLiteral("out.zip")));
    zip.setBaseFolder(stage.filePath(QStringLiteral("in")));
    zip.setMask(QStringLiteral("*.*"));
    zip.setLevel(9);
    zip.setMethod(8);
    if (zip.zip() != 0)
        return QByteArray();
    QFile f(stage.filePath(QStringLiteral("out.zip")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList entries(const QString& archivePath) {
    QTemporaryDir out;
    ZipComponent zip;
    zip.setArchiveName(archivePath);
    zip.setDestinationFolder(out.path());
    zip.setMask(QStringLiteral("*.*"));
    if (zip.unpack() != 0)
        return {QStringLiteral("<unpack failed>")};
    return QDir(out.path()).entryList(QDir::Files, QDir::Name);
}

} // namespace TestZip
