#include "tests/support/testzip.h"

#include "client/transfer/zipcomponent.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

#include <zip.h>

namespace TestZip {

QByteArray makeEntry(const QString& entryPath, const QByteArray& content) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!out)
        return QByteArray();
    zip_source_keep(out); // still needed after the archive is closed
    QByteArray bytes;
    if (zip_t* archive = zip_open_from_source(out, ZIP_TRUNCATE, &error)) {
        zip_source_t* data = zip_source_buffer(archive, content.constData(), content.size(), 0);
        if (!data || zip_file_add(archive, entryPath.toUtf8().constData(), data,
                                  ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(data);
            zip_discard(archive);
        } else if (zip_close(archive) != 0) {
            zip_discard(archive);
        } else if (zip_source_open(out) == 0) {
            zip_source_seek(out, 0, SEEK_END);
            bytes.resize(qsizetype(zip_source_tell(out)));
            zip_source_seek(out, 0, SEEK_SET);
            if (zip_source_read(out, bytes.data(), zip_uint64_t(bytes.size())) != bytes.size())
                bytes.clear();
            zip_source_close(out);
        }
    }
    zip_source_free(out);
    zip_error_fini(&error);
    return bytes;
}

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
