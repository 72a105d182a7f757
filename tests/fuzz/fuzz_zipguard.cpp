// The unpacker on arbitrary archives: whatever the entries' names, nothing is written outside
// the destination folder.
#include "client/transfer/zipcomponent.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString root =
        QDir::temp().filePath(QStringLiteral("fuzz_zipguard_%1").arg(getpid()));
    QDir(root).removeRecursively();
    const QString destination = root + QStringLiteral("/inside/dest");
    QDir().mkpath(destination);
    const QString archive = root + QStringLiteral("/inside/pack.zip");
    {
        QFile file(archive);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    ZipComponent zip;
    zip.setArchiveName(archive);
    zip.setDestinationFolder(destination);
    zip.setMask(QStringLiteral("*.*"));
    zip.unpack();
    // Only the archive and the destination may exist outside the destination.
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path != root + QStringLiteral("/inside") && path != archive &&
            !path.startsWith(destination))
            std::abort();
    }
    return 0;
}
