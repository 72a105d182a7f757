#include "client/transfer/paralleldeflate.h"

#include "client/foundation/fullwrite.h"
#include "client/transfer/zipfilesource.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 ChunkSize = 256 * 1024;
// More threads than this gain nothing on the machines of a store and cost memory.
constexpr int MaxThreads = 4;
// Compression is judged over this much input; stored stretches last this long.
constexpr uLong ProbeBytes = 1024 * 1024;
constexpr uLong StoredStretchBytes = 4 * 1024 * 1024;

} // namespace

struct ParallelDeflate::Entry {
    QString path;
    qint64 plannedSize = 0;
    QDateTime plannedTime; // when the file was listed
    // Set by the thread that deflated the file, read once done is true (under m_mutex).
    bool done = false;
    int spool = -1;
    qint64 offset = 0;
    qint64 compressedSize = 0;
    quint64 size = 0;
    quint32 crc = 0;
};

// Written unbuffered, so that a full disk is named (writeFully).
class SpoolFile : public QTemporaryFile {
public:
    bool openUnbuffered() {
        return open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
};

struct ParallelDeflate::Spool {
    SpoolFile file;
    qint64 written = 0;
};

// One entry's source: the spool file is opened for reading only while libzip copies it.
struct ParallelDeflate::Source {
    ParallelDeflate* owner = nullptr;
    int index = 0;
    time_t mtime = 0;
    zip_file_attributes_t attributes;
    std::unique_ptr<QFile> reader;
    qint64 left = 0;
    zip_error_t error;
};

ParallelDeflate::ParallelDeflate(const QStringList& paths, int level,
                                 const std::atomic<bool>& abort)
    : m_level(level), m_abort(abort) {
    m_entries.resize(size_t(paths.size()));
    for (int i = 0; i < paths.size(); ++i) {
        const QFileInfo info(paths[i]);
        m_entries[size_t(i)].path = paths[i];
        m_entries[size_t(i)].plannedSize = info.size();
        m_entries[size_t(i)].plannedTime = info.lastModified();
        m_order.push_back(i);
    }
    std::stable_sort(m_order.begin(), m_order.end(), [this](int a, int b) {
        return m_entries[size_t(a)].plannedSize > m_entries[size_t(b)].plannedSize;
    });
}

ParallelDeflate::~ParallelDeflate() {
    m_stop = true;
    for (std::thread& thread : m_threads)
        thread.join();
}

bool ParallelDeflate::start(const QString& spoolFolder) {
    const int threads =
        std::max(1, std::min({QThread::idealThreadCount(), MaxThreads, int(m_entries.size())}));
    for (int i = 0; i < threads; ++i) {
        auto spool = std::make_unique<Spool>();
        spool->file.setFileTemplate(spoolFolder + QStringLiteral("/.deflate-XXXXXX.tmp"));
        if (!spool->file.openUnbuffered()) {
            fail(SpoolFailed, QStringLiteral("Cannot create a temporary file in %1: %2")
                                  .arg(spoolFolder, spool->file.errorString()));
            return false;
        }
        m_spools.push_back(std::move(spool));
    }
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back(&ParallelDeflate::work, this, i);
    return true;
}

ParallelDeflate::Failure ParallelDeflate::failure() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure;
}

QString ParallelDeflate::failureText() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failureText;
}

void ParallelDeflate::fail(Failure failure, const QString& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failure == None) {
        m_failure = failure;
        m_failureText = text;
    }
    m_doneChanged.notify_all();
}

void ParallelDeflate::work(int spoolIndex) {
    for (;;) {
        const int next = m_next++;
        if (next >= int(m_order.size()) || m_stop || failure() != None)
            return;
        Entry& entry = m_entries[size_t(m_order[size_t(next)])];
        if (!deflateFile(entry, spoolIndex))
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        entry.done = true;
        m_doneChanged.notify_all();
    }
}

bool ParallelDeflate::deflateFile(Entry& entry, int spoolIndex) {
    Spool& spool = *m_spools[size_t(spoolIndex)];
    QFile in(entry.path);
    if (!in.open(QIODevice::ReadOnly)) {
        fail(ReadFailed, QStringLiteral("Cannot read %1: %2").arg(entry.path, in.errorString()));
        return false;
    }
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    // Raw deflate (no zlib header), as a zip entry holds it; the largest memory level is the
    // fastest and still small (a few hundred KB per thread).
    if (deflateInit2(&stream, m_level, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        fail(SpoolFailed, QStringLiteral("Cannot start compressing %1").arg(entry.path));
        return false;
    }
    QByteArray input(int(ChunkSize), Qt::Uninitialized);
    QByteArray output(int(ChunkSize), Qt::Uninitialized);
    uLong crc = crc32(0, nullptr, 0);
    quint64 size = 0;
    const qint64 offset = spool.written;
    // Moves what zlib put into the output buffer to the spool.
    auto spoolOutput = [&]() {
        const qint64 produced = output.size() - qint64(stream.avail_out);
        if (!writeFully(spool.file, output.constData(), produced)) {
            fail(SpoolFailed, QStringLiteral("Cannot write a temporary file for %1: %2")
                                  .arg(entry.path, spool.file.errorString()));
            return false;
        }
        spool.written += produced;
        return true;
    };
    // Hands zlib's output to the spool until zlib has nothing more for now.
    auto drain = [&](int flush) {
        int result = Z_OK;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(output.data());
            stream.avail_out = uInt(output.size());
            result = deflate(&stream, flush);
            if (!spoolOutput())
                return false;
        } while (stream.avail_out == 0 && result != Z_STREAM_END);
        return true;
    };
    // Data that does not shrink (photos, archives) is written in stored blocks instead of
    // searched for matches in vain; every so often the full level is tried again.
    int level = m_level;
    uLong markIn = 0, markOut = 0;
    auto adapt = [&]() {
        const uLong in = stream.total_in - markIn, out = stream.total_out - markOut;
        int wanted = level;
        if (level != 0 && in >= ProbeBytes && out * 100 >= in * 99)
            wanted = 0;
        else if (level == 0 && in >= StoredStretchBytes)
            wanted = m_level;
        else if (in < ProbeBytes || level == 0)
            return true;
        markIn = stream.total_in;
        markOut = stream.total_out;
        if (wanted == level)
            return true;
        level = wanted;
        for (;;) {
            stream.next_out = reinterpret_cast<Bytef*>(output.data());
            stream.avail_out = uInt(output.size());
            const int result = deflateParams(&stream, level, Z_DEFAULT_STRATEGY);
            if (!spoolOutput())
                return false;
            if (result != Z_BUF_ERROR)
                return true;
        }
    };
    bool ok = true;
    bool atEnd = false;
    while (ok && !atEnd) {
        if (m_abort || m_stop) {
            fail(Aborted, QStringLiteral("The operation was aborted"));
            ok = false;
            break;
        }
        const qint64 got = in.read(input.data(), ChunkSize);
        if (got < 0) {
            fail(ReadFailed,
                 QStringLiteral("Cannot read %1: %2").arg(entry.path, in.errorString()));
            ok = false;
            break;
        }
        atEnd = got == 0;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(input.constData()), uInt(got));
        size += quint64(got);
        stream.next_in = reinterpret_cast<Bytef*>(input.data());
        stream.avail_in = uInt(got);
        ok = drain(atEnd ? Z_FINISH : Z_NO_FLUSH) && (atEnd || adapt());
    }
    deflateEnd(&stream);
    // A file being written meanwhile would go in torn: the store's program is still at it, and
    // the next run takes it whole.
    const QFileInfo after(entry.path);
    if (ok && (qint64(size) != entry.plannedSize || after.size() != entry.plannedSize ||
               after.lastModified() != entry.plannedTime)) {
        fail(Changed, QStringLiteral("%1 changed while it was being packed (%2 bytes when listed, "
                                     "%3 read); it is taken whole next time")
                          .arg(entry.path)
                          .arg(entry.plannedSize)
                          .arg(size));
        ok = false;
    }
    entry.spool = spoolIndex;
    entry.offset = offset;
    entry.compressedSize = spool.written - offset;
    entry.size = size;
    entry.crc = quint32(crc);
    return ok;
}

bool ParallelDeflate::waitFor(int i) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_doneChanged.wait(lock, [&] { return m_entries[size_t(i)].done || m_failure != None; });
    return m_entries[size_t(i)].done;
}

zip_source_t* ParallelDeflate::source(int i, zip_error_t* error) {
    // libzip's own source of the file gives the time and attributes libzip would store.
    zip_source_t* file =
        zip_source_file_create(libzipFileName(m_entries[size_t(i)].path).constData(), 0, -1, error);
    if (!file)
        return nullptr;
    auto state = std::make_unique<Source>();
    state->owner = this;
    state->index = i;
    zip_error_init(&state->error);
    zip_stat_t stat;
    zip_stat_init(&stat);
    zip_file_attributes_init(&state->attributes);
    const bool looked = zip_source_stat(file, &stat) == 0 &&
                        zip_source_get_file_attributes(file, &state->attributes) == 0;
    if (!looked)
        zip_error_set(error, zip_error_code_zip(zip_source_error(file)),
                      zip_error_code_system(zip_source_error(file)));
    zip_source_free(file);
    if (!looked) {
        zip_error_fini(&state->error);
        return nullptr;
    }
    state->mtime = (stat.valid & ZIP_STAT_MTIME) ? stat.mtime : time(nullptr);
    zip_source_t* source = zip_source_function_create(&sourceCallback, state.get(), error);
    if (!source) {
        zip_error_fini(&state->error);
        return nullptr;
    }
    state.release();
    return source;
}

zip_int64_t ParallelDeflate::sourceCallback(void* userdata, void* data, zip_uint64_t length,
                                            zip_source_cmd_t command) {
    auto* state = static_cast<Source*>(userdata);
    ParallelDeflate& owner = *state->owner;
    const Entry& entry = owner.m_entries[size_t(state->index)];
    switch (command) {
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_GET_FILE_ATTRIBUTES, -1);
    case ZIP_SOURCE_STAT: {
        if (!owner.waitFor(state->index)) {
            zip_error_set(&state->error, ZIP_ER_READ, 0);
            return -1;
        }
        zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &state->error);
        if (!stat)
            return -1;
        zip_stat_init(stat);
        stat->size = entry.size;
        stat->comp_size = zip_uint64_t(entry.compressedSize);
        stat->comp_method = ZIP_CM_DEFLATE;
        stat->crc = entry.crc;
        stat->mtime = state->mtime;
        stat->encryption_method = ZIP_EM_NONE;
        stat->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                      ZIP_STAT_MTIME | ZIP_STAT_ENCRYPTION_METHOD;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
        auto* attributes = ZIP_SOURCE_GET_ARGS(zip_file_attributes_t, data, length, &state->error);
        if (!attributes)
            return -1;
        *attributes = state->attributes;
        return sizeof(zip_file_attributes_t);
    }
    case ZIP_SOURCE_OPEN: {
        if (!owner.waitFor(state->index)) {
            zip_error_set(&state->error, ZIP_ER_READ, 0);
            return -1;
        }
        state->reader =
            std::make_unique<QFile>(owner.m_spools[size_t(entry.spool)]->file.fileName());
        if (!state->reader->open(QIODevice::ReadOnly) || !state->reader->seek(entry.offset)) {
            zip_error_set(&state->error, ZIP_ER_OPEN, 0);
            state->reader.reset();
            return -1;
        }
        state->left = entry.compressedSize;
        return 0;
    }
    case ZIP_SOURCE_READ: {
        if (owner.m_abort) {
            owner.fail(Aborted, QStringLiteral("The operation was aborted"));
            zip_error_set(&state->error, ZIP_ER_READ, 0);
            return -1;
        }
        const qint64 wanted = std::min(state->left, qint64(length));
        const qint64 got = wanted > 0 ? state->reader->read(static_cast<char*>(data), wanted) : 0;
        if (got < 0 || (got == 0 && wanted > 0)) {
            zip_error_set(&state->error, ZIP_ER_READ, 0);
            return -1;
        }
        state->left -= got;
        return got;
    }
    case ZIP_SOURCE_CLOSE:
        state->reader.reset();
        return 0;
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&state->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&state->error);
        delete state;
        return 0;
    default:
        zip_error_set(&state->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}
