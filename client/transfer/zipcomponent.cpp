#include "client/transfer/zipcomponent.h"

#include "client/foundation/filereplace.h"
#include "client/foundation/filesearch.h"
#include "client/foundation/paths.h"
#include "client/foundation/replacingfile.h"
#include "client/foundation/tempfolder.h"
#include "client/transfer/paralleldeflate.h"
#include "client/transfer/zipfilesource.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <QVector>

#include <zip.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Read and write in pieces of this size: archives and files can be hundreds of MB.
constexpr qint64 ChunkSize = 256 * 1024;
// More threads than this gain nothing on the machines of a store and cost memory.
constexpr int MaxThreads = 4;

QString libzipText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

QString libzipText(zip_error_t* error) {
    return QString::fromUtf8(zip_error_strerror(error));
}

// The path of an entry inside the destination, "/"-separated, or false when the entry would
// leave it: absolute names, drive letters, and ".." that climbs above the top. Parts made of
// dots and blanks only ("...", ".. ") are refused too, since Windows trims them to "." or "..".
bool relativeEntryPath(const QString& storedName, QString* relative) {
    QString name = storedName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.startsWith(QLatin1Char('/')))
        return false;
    if (name.size() >= 2 && name[1] == QLatin1Char(':') && name[0].isLetter())
        return false;
    QStringList kept;
    const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (kept.isEmpty())
                return false;
            kept.removeLast();
            continue;
        }
        bool dotsAndBlanks = true;
        for (QChar c : part)
            dotsAndBlanks = dotsAndBlanks && (c == QLatin1Char('.') || c == QLatin1Char(' '));
        if (dotsAndBlanks)
            return false;
        kept << part;
    }
    *relative = kept.join(QLatin1Char('/'));
    return true;
}

// An entry stored executable makes a program: the file gets execute permission wherever it
// may be read. Everything else about its mode is what a new file gets here; group and other
// write or a symbolic link's 0777 never come from an archive.
void takeExecutableBit(zip_t* za, zip_uint64_t index, const QString& target) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(za, index, 0, &system, &attributes) != 0 ||
        system != ZIP_OPSYS_UNIX)
        return;
    const quint32 mode = attributes >> 16;
    const quint32 type = mode & 0170000;
    if ((type != 0100000 && type != 0) || (mode & 0111) == 0)
        return;
    QFileDevice::Permissions permissions = QFile::permissions(target);
    if (permissions & QFileDevice::ReadOwner)
        permissions |= QFileDevice::ExeOwner | QFileDevice::ExeUser;
    if (permissions & QFileDevice::ReadGroup)
        permissions |= QFileDevice::ExeGroup;
    if (permissions & QFileDevice::ReadOther)
        permissions |= QFileDevice::ExeOther;
    QFile::setPermissions(target, permissions);
}

struct PlannedEntry {
    zip_uint64_t index;
    QString stored;
    QString relative;
    bool folder;
};

struct PlannedFile {
    const PlannedEntry* entry;
    QString target;
    zip_uint64_t compressedSize;
};

struct UnpackFailure {
    ZipComponent::Result code = ZipComponent::Success;
    QString text;
};

// Writes one file entry to its target. Between pieces it stops on abort, and when an entry
// before it in the archive has failed (failedIndex).
UnpackFailure unpackFile(zip_t* za, const PlannedFile& file, const QString& archive,
                         QByteArray& buffer, const std::atomic<bool>& abort,
                         const std::atomic<zip_uint64_t>& failedIndex) {
    const PlannedEntry& entry = *file.entry;
    const QString& target = file.target;
    zip_file_t* zf = zip_fopen_index(za, entry.index, 0);
    if (!zf) {
        const int code = zip_error_code_zip(zip_get_error(za));
        return {code == ZIP_ER_READ ? ZipComponent::CannotReadFile : ZipComponent::ArchiveDamaged,
                QStringLiteral("Cannot read entry \"%1\" of %2: %3")
                    .arg(entry.stored, archive, QString::fromUtf8(zip_strerror(za)))};
    }
    // Written under a temporary name and renamed over the target only when complete.
    ReplacingFile out(target);
    if (!out.open()) {
        zip_fclose(zf);
        return {ZipComponent::CannotWriteFile,
                QStringLiteral("Cannot write %1: %2").arg(target, out.errorString())};
    }
    for (;;) {
        if (abort || entry.index > failedIndex) {
            out.cancelWriting();
            zip_fclose(zf);
            return {ZipComponent::Aborted, QStringLiteral("The operation was aborted")};
        }
        const zip_int64_t got = zip_fread(zf, buffer.data(), zip_uint64_t(buffer.size()));
        if (got < 0) {
            const QString text = QString::fromUtf8(zip_file_strerror(zf));
            out.cancelWriting();
            zip_fclose(zf);
            return {ZipComponent::ArchiveDamaged,
                    QStringLiteral("Entry \"%1\" of %2 is damaged: %3")
                        .arg(entry.stored, archive, text)};
        }
        if (got == 0)
            break;
        if (out.write(buffer.constData(), got) != got) {
            const QString text = out.errorString();
            out.cancelWriting();
            zip_fclose(zf);
            return {ZipComponent::CannotWriteFile,
                    QStringLiteral("Cannot write %1: %2").arg(target, text)};
        }
    }
    zip_fclose(zf);

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(za, entry.index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_MTIME)) {
        // Flushed first, so that no later write moves the time again.
        out.device().flush();
        out.device().setFileTime(QDateTime::fromSecsSinceEpoch(qint64(stat.mtime)),
                                 QFileDevice::FileModificationTime);
    }
    if (!out.commit()) {
        return {ZipComponent::CannotWriteFile,
                QStringLiteral("Cannot write %1: %2").arg(target, out.errorString())};
    }

    takeExecutableBit(za, entry.index, target);
    return {};
}

// Unpacks the files on up to MaxThreads threads, the calling one included, each reading the
// archive through its own handle (a libzip archive is not shared between threads); the biggest
// entries go first so that no thread is left with a big one at the end. After a failure the
// entries behind it in the archive are left, and those before it still run: the failure
// reported is the first in archive order, whatever the threads met first.
UnpackFailure unpackFiles(zip_t* za, const QString& archive, QVector<PlannedFile> files,
                          const std::atomic<bool>& abort) {
    std::stable_sort(files.begin(), files.end(), [](const PlannedFile& a, const PlannedFile& b) {
        return a.compressedSize > b.compressedSize;
    });
    std::atomic<int> next{0};
    std::mutex mutex;
    UnpackFailure failure;
    std::atomic<zip_uint64_t> failedIndex{~zip_uint64_t(0)};
    auto record = [&](const UnpackFailure& f, zip_uint64_t index) {
        std::lock_guard<std::mutex> lock(mutex);
        if (index < failedIndex) {
            failedIndex = index;
            failure = f;
        }
    };
    auto work = [&](zip_t* own) {
        QByteArray buffer(int(ChunkSize), Qt::Uninitialized);
        for (int i = next++; i < files.size() && !abort; i = next++) {
            const zip_uint64_t index = files[i].entry->index;
            if (index > failedIndex)
                continue;
            const UnpackFailure result =
                unpackFile(own, files[i], archive, buffer, abort, failedIndex);
            // Stopped for an earlier failure, or by the abort: nothing of its own to report.
            if (result.code != ZipComponent::Success && result.code != ZipComponent::Aborted)
                record(result, index);
        }
    };
    if (abort)
        return {ZipComponent::Aborted, QStringLiteral("The operation was aborted")};

    const int threads =
        std::max(1, std::min({QThread::idealThreadCount(), MaxThreads, int(files.size())}));
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
        helpers.emplace_back([&] {
            int error = 0;
            zip_t* own = openArchiveForReading(archive, &error);
            if (!own) {
                record({ZipComponent::CannotReadFile,
                        QStringLiteral("Cannot open %1: %2").arg(archive, libzipText(error))},
                       0);
                return;
            }
            work(own);
            zip_discard(own);
        });
    }
    work(za);
    for (std::thread& helper : helpers)
        helper.join();
    if (abort)
        return {ZipComponent::Aborted, QStringLiteral("The operation was aborted")};
    return failure;
}

} // namespace

void ZipComponent::setArchiveName(const QString& path) {
    m_archive = path;
}

void ZipComponent::setBaseFolder(const QString& folder) {
    m_baseFolder = folder;
}

void ZipComponent::setDestinationFolder(const QString& folder) {
    m_destinationFolder = folder;
}

void ZipComponent::setMask(const QString& mask) {
    m_mask = mask;
}

void ZipComponent::setZipFlagA(bool on) {
    m_zipFlagA = on;
}

void ZipComponent::setZipFlagB(bool on) {
    m_zipFlagB = on;
}

void ZipComponent::setLevel(qint32 level) {
    m_level = level;
}

void ZipComponent::setMethod(qint32 method) {
    m_method = method;
}

void ZipComponent::setLeaveOut(const QStringList& paths) {
    m_leaveOut = paths;
}

void ZipComponent::setAbort(bool on) {
    m_abort = on;
}

QString ZipComponent::archiveName() const {
    return m_archive;
}

QString ZipComponent::baseFolder() const {
    return m_baseFolder;
}

QString ZipComponent::destinationFolder() const {
    return m_destinationFolder;
}

QString ZipComponent::mask() const {
    return m_mask;
}

bool ZipComponent::zipFlagA() const {
    return m_zipFlagA;
}

bool ZipComponent::zipFlagB() const {
    return m_zipFlagB;
}

qint32 ZipComponent::level() const {
    return m_level;
}

qint32 ZipComponent::method() const {
    return m_method;
}

bool ZipComponent::abort() const {
    return m_abort;
}

qint16 ZipComponent::fail(Result code, const QString& text) {
    m_lastResult = code;
    m_lastText = text;
    return code;
}

bool ZipComponent::checkCommon(const QString& folder, const char* folderRole) {
    if (m_abort) {
        fail(Aborted, QStringLiteral("The operation was aborted"));
        return false;
    }
    if (m_archive.isEmpty()) {
        fail(BadArguments, QStringLiteral("No archive file name was given"));
        return false;
    }
    if (folder.isEmpty()) {
        fail(BadArguments, QStringLiteral("No %1 folder was given").arg(QLatin1String(folderRole)));
        return false;
    }
    if (m_mask.isEmpty()) {
        fail(BadArguments, QStringLiteral("No file mask was given"));
        return false;
    }
    return true;
}

qint16 ZipComponent::zip() {
    m_lastResult = Success;
    m_lastText.clear();
    const QStringList leaveOut = std::exchange(m_leaveOut, QStringList());
    if (!checkCommon(m_baseFolder, "base"))
        return m_lastResult;
    if ((m_method != 0 && m_method != 8) || m_level < 0 || m_level > 9) {
        return fail(BadArguments,
                    QStringLiteral("Method %1 at level %2 is not supported (use 8 with 1 to 9, "
                                   "or 0 to store)")
                        .arg(m_method)
                        .arg(m_level));
    }
    const bool deflate = m_method == 8 && m_level > 0;

    const QString base = Paths::toNative(m_baseFolder);
    const QString archive = Paths::toNative(m_archive);
    if (!QFileInfo(base).isDir())
        return fail(FolderMissing, QStringLiteral("Folder %1 does not exist").arg(base));

    QStringList names = FileSearch::findFiles(base, m_mask);
    // An earlier archive lying in the base folder never goes into the new one, nor a file the
    // caller left out.
    QStringList leftOut;
    for (const QString& path : leaveOut + QStringList{archive}) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty())
            leftOut << canonical;
    }
    names.removeIf([&](const QString& name) {
        return leftOut.contains(QFileInfo(Paths::join(base, name)).canonicalFilePath());
    });
    const QFileInfo archiveInfo(archive);
    if (names.isEmpty()) {
        return fail(NothingToDo, QStringLiteral("No file in %1 matches %2").arg(base, m_mask));
    }

    // libzip writes the new archive to a temporary file beside it and renames that over the
    // old one only in zip_close, so a failure leaves no half-written archive behind. An archive
    // in the program folder is made in the run's temporary folder, with its spools, and moved
    // into place: what a crash leaves there is cleared at the next start.
    const QString workFolder = TempFolder::forTarget(archive);
    const QString written = QDir(workFolder).filePath(archiveInfo.fileName());
    const bool moved = QFileInfo(written).absoluteFilePath() != archiveInfo.absoluteFilePath();
    int openError = 0;
    zip_t* za = zip_open(libzipFileName(moved ? written : archive).constData(),
                         ZIP_CREATE | ZIP_TRUNCATE, &openError);
    if (!za) {
        return fail(CannotWriteFile,
                    QStringLiteral("Cannot create %1: %2").arg(archive, libzipText(openError)));
    }
    QStringList paths;
    for (const QString& name : names)
        paths << Paths::join(base, name);
    // Deflating is what takes the time: every core takes files while zip_close copies the
    // compressed data into the archive in order.
    std::unique_ptr<ParallelDeflate> deflater;
    if (deflate) {
        deflater = std::make_unique<ParallelDeflate>(paths, m_level, m_abort);
        if (!deflater->start(workFolder)) {
            zip_discard(za);
            return fail(CannotWriteFile, deflater->failureText());
        }
    }
    for (int i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        const QString& path = paths[i];
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source =
            deflater ? deflater->source(i, &error)
                     : zip_source_file_create(libzipFileName(path).constData(), 0, -1, &error);
        if (!source) {
            const QString text = libzipText(&error);
            zip_error_fini(&error);
            zip_discard(za);
            return fail(CannotReadFile, QStringLiteral("Cannot read %1: %2").arg(path, text));
        }
        zip_error_fini(&error);
        const zip_int64_t index =
            zip_file_add(za, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            const QString text = QString::fromUtf8(zip_strerror(za));
            zip_discard(za);
            return fail(CannotWriteFile,
                        QStringLiteral("Cannot add %1 to %2: %3").arg(name, archive, text));
        }
        // Deflated sources are copied as they are; stored ones are set to store.
        if (!deflater && zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_STORE, 0) != 0) {
            const QString text = QString::fromUtf8(zip_strerror(za));
            zip_discard(za);
            return fail(BadArguments, QStringLiteral("Cannot store %1: %2").arg(name, text));
        }
    }
    if (zip_close(za) != 0) {
        if (deflater && deflater->failure() != ParallelDeflate::None) {
            zip_discard(za);
            const ParallelDeflate::Failure failure = deflater->failure();
            return fail(failure == ParallelDeflate::Aborted ? Aborted
                        : failure == ParallelDeflate::ReadFailed ||
                                failure == ParallelDeflate::Changed
                            ? CannotReadFile
                            : CannotWriteFile,
                        deflater->failureText());
        }
        zip_error_t* error = zip_get_error(za);
        const int code = zip_error_code_zip(error);
        const QString text = libzipText(error);
        zip_discard(za);
        const Result result =
            (code == ZIP_ER_READ || code == ZIP_ER_OPEN) ? CannotReadFile : CannotWriteFile;
        return fail(result, QStringLiteral("Cannot write %1: %2").arg(archive, text));
    }
    QString moveError;
    if (moved && !replaceFile(written, archive, &moveError)) {
        QFile::remove(written);
        return fail(CannotWriteFile, QStringLiteral("Cannot write %1: %2").arg(archive, moveError));
    }
    return Success;
}

qint16 ZipComponent::unpack() {
    m_lastResult = Success;
    m_lastText.clear();
    if (!checkCommon(m_destinationFolder, "destination"))
        return m_lastResult;

    const QString archive = Paths::toNative(m_archive);
    const QString destination = Paths::toNative(m_destinationFolder);
    const QFileInfo archiveInfo(archive);
    if (!archiveInfo.exists())
        return fail(ArchiveMissing, QStringLiteral("Archive %1 was not found").arg(archive));
    if (!archiveInfo.isFile())
        return fail(CannotReadFile, QStringLiteral("%1 is not a file").arg(archive));

    int openError = 0;
    zip_t* za = openArchiveForReading(archive, &openError);
    if (!za) {
        const Result result = (openError == ZIP_ER_OPEN || openError == ZIP_ER_READ)
                                  ? CannotReadFile
                                  : ArchiveDamaged;
        return fail(result,
                    QStringLiteral("Cannot open %1: %2").arg(archive, libzipText(openError)));
    }

    // Every entry to be written is checked before the first one is: an archive that tries to
    // leave the destination is refused whole.
    QVector<PlannedEntry> planned;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* rawName = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!rawName) {
            const QString text = QString::fromUtf8(zip_strerror(za));
            zip_discard(za);
            return fail(ArchiveDamaged,
                        QStringLiteral("Cannot read the entries of %1: %2").arg(archive, text));
        }
        const QString stored = QString::fromUtf8(rawName);
        QString name = stored;
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!FileSearch::matches(m_mask, name))
            continue;
        QString relative;
        if (!relativeEntryPath(stored, &relative)) {
            zip_discard(za);
            return fail(UnsafeEntry,
                        QStringLiteral("Entry \"%1\" of %2 points outside %3; nothing was "
                                       "unpacked")
                            .arg(stored, archive, destination));
        }
        if (relative.isEmpty())
            continue;
        planned.append({zip_uint64_t(i), stored, relative, name.endsWith(QLatin1Char('/'))});
    }
    // Entries of one name (equal but for case included: one file on Windows, and so on every
    // platform) land on one file: the last in the archive wins, as for an archive added to.
    QHash<QString, zip_uint64_t> lastOfName;
    for (const PlannedEntry& entry : planned) {
        if (!entry.folder)
            lastOfName[entry.relative.toCaseFolded()] = entry.index;
    }
    planned.removeIf([&](const PlannedEntry& entry) {
        return !entry.folder && lastOfName.value(entry.relative.toCaseFolded()) != entry.index;
    });
    if (planned.isEmpty()) {
        zip_discard(za);
        return fail(NothingToDo, QStringLiteral("No entry of %1 matches %2").arg(archive, m_mask));
    }

    QString folderError;
    if (!cMakeDir(destination, &folderError) || !QFileInfo(destination).isDir()) {
        zip_discard(za);
        if (folderError.isEmpty())
            folderError = QStringLiteral("not a folder");
        return fail(CannotCreateFolder,
                    QStringLiteral("Cannot create folder %1: %2").arg(destination, folderError));
    }

    // Folders first and in order; then the files, spread over the cores.
    QVector<PlannedFile> files;
    for (const PlannedEntry& entry : planned) {
        const QString target = Paths::join(destination, Paths::toNative(entry.relative));
        const QString folder = entry.folder ? target : QFileInfo(target).absolutePath();
        if (!QDir().mkpath(folder)) {
            zip_discard(za);
            return fail(CannotCreateFolder, QStringLiteral("Cannot create folder %1").arg(folder));
        }
        if (entry.folder)
            continue;
        zip_stat_t stat;
        zip_stat_init(&stat);
        const bool sized =
            zip_stat_index(za, entry.index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_COMP_SIZE);
        files.append({&entry, target, sized ? stat.comp_size : 0});
    }
    const UnpackFailure failure = unpackFiles(za, archive, files, m_abort);
    zip_discard(za);
    if (failure.code != Success)
        return fail(failure.code, failure.text);
    return Success;
}

QString ZipComponent::errorDescription(int kind, int code) const {
    Q_UNUSED(kind)
    if (code == m_lastResult && !m_lastText.isEmpty())
        return m_lastText;
    switch (code) {
    case Success:
        return QStringLiteral("No error");
    case NothingToDo:
        return QStringLiteral("No file matches the mask");
    case ArchiveMissing:
        return QStringLiteral("The archive was not found");
    case ArchiveDamaged:
        return QStringLiteral("The archive is damaged or not a zip archive");
    case UnsafeEntry:
        return QStringLiteral("The archive holds an entry that points outside the destination "
                              "folder");
    case FolderMissing:
        return QStringLiteral("The base folder does not exist");
    case CannotCreateFolder:
        return QStringLiteral("The destination folder cannot be created");
    case CannotReadFile:
        return QStringLiteral("A file cannot be read");
    case CannotWriteFile:
        return QStringLiteral("A file cannot be written");
    case Aborted:
        return QStringLiteral("The operation was aborted");
    case BadArguments:
        return QStringLiteral("The archive, folder or mask is missing or not supported");
    default:
        return QStringLiteral("Unknown zip error %1").arg(code);
    }
}
