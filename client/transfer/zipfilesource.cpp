#include "client/transfer/zipfilesource.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr qint64 PieceSize = 256 * 1024;

struct ArchiveFile {
    QFile file;
    qint64 size = 0;
    qint64 position = 0;
    QByteArray piece;
    qint64 pieceStart = 0; // file offset of piece[0]
    zip_error_t error;
};

zip_int64_t readAt(ArchiveFile& a, char* out, qint64 wanted) {
    qint64 done = 0;
    while (done < wanted && a.position < a.size) {
        const qint64 inPiece = a.position - a.pieceStart;
        if (inPiece < 0 || inPiece >= a.piece.size()) {
            a.piece.resize(int(std::min(PieceSize, a.size - a.position)));
            if (!a.file.seek(a.position) ||
                a.file.read(a.piece.data(), a.piece.size()) != a.piece.size()) {
                a.piece.clear();
                zip_error_set(&a.error, ZIP_ER_READ, 0);
                return -1;
            }
            a.pieceStart = a.position;
            continue;
        }
        const qint64 take = std::min(wanted - done, qint64(a.piece.size()) - inPiece);
        std::copy_n(a.piece.constData() + inPiece, take, out + done);
        done += take;
        a.position += take;
    }
    return done;
}

zip_int64_t callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* a = static_cast<ArchiveFile*>(state);
    switch (command) {
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_SEEKABLE;
    case ZIP_SOURCE_OPEN:
        a->position = 0;
        if (!a->file.isOpen() && !a->file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            zip_error_set(&a->error, ZIP_ER_OPEN, 0);
            return -1;
        }
        a->size = a->file.size();
        return 0;
    case ZIP_SOURCE_READ:
        return readAt(*a, static_cast<char*>(data),
                      qint64(std::min<zip_uint64_t>(length, 1u << 30)));
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_SEEK: {
        const zip_int64_t target = zip_source_seek_compute_offset(
            zip_uint64_t(a->position), zip_uint64_t(a->size), data, length, &a->error);
        if (target < 0)
            return -1;
        a->position = target;
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return a->position;
    case ZIP_SOURCE_STAT: {
        zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &a->error);
        if (!stat)
            return -1;
        zip_stat_init(stat);
        const QFileInfo info(a->file.fileName());
        if (!info.exists()) {
            zip_error_set(&a->error, ZIP_ER_NOENT, 0);
            return -1;
        }
        stat->size = zip_uint64_t(info.size());
        stat->mtime = time_t(info.lastModified().toSecsSinceEpoch());
        stat->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&a->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&a->error);
        delete a;
        return 0;
    default:
        zip_error_set(&a->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

zip_source_t* createArchiveFileSource(const QString& path, zip_error_t* error) {
    auto* state = new ArchiveFile;
    state->file.setFileName(path);
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function_create(&callback, state, error);
    if (!source) {
        zip_error_fini(&state->error);
        delete state;
    }
    return source;
}

zip_t* openArchiveForReading(const QString& path, int* openError) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = createArchiveFileSource(path, &error);
    zip_t* za = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!za) {
        if (source)
            zip_source_free(source);
        *openError = zip_error_code_zip(&error);
    }
    zip_error_fini(&error);
    return za;
}

QByteArray libzipFileName(const QString& path) {
#ifdef Q_OS_WIN
    // libzip takes UTF-8 names on Windows and converts them itself.
    return path.toUtf8();
#else
    return QFile::encodeName(path);
#endif
}
