// Runs one operation of the zip component from the command line, for bench/zip_bench.sh:
//   zipbench zip <archive> <base folder> [mask]
//   zipbench unpack <archive> <destination folder> [mask]
#include "client/transfer/zipcomponent.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4 || (args[1] != "zip" && args[1] != "unpack")) {
        std::fprintf(stderr, "usage: zipbench zip|unpack <archive> <folder> [mask]\n");
        return 2;
    }
    ZipComponent zip;
    zip.setArchiveName(args[2]);
    if (args[1] == "zip")
        zip.setBaseFolder(args[3]);
    else
        zip.setDestinationFolder(args[3]);
    zip.setMask(args.size() > 4 ? args[4] : QStringLiteral("*.*"));
    zip.setZipFlagA(true);
    zip.setLevel(9);
    zip.setMethod(8);
    zip.setZipFlagB(true);
    const qint16 result = args[1] == "zip" ? zip.zip() : zip.unpack();
    if (result != 0) {
        std::fprintf(stderr, "error %d: %s\n", result, qPrintable(zip.errorDescription(0, result)));
        return 1;
    }
    return 0;
}
