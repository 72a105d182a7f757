#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <zip.h>

class QFile;

// Deflates the files of one archive on several threads, ahead of libzip writing the archive.
// Each file gets a libzip source that hands out its data already compressed, so zip_close
// copies it into the archive as it is; reading a source waits until its file is done. The
// compressed data waits in one spool file per thread, removed when this object goes.
// One large file is still deflated by a single thread.
class ParallelDeflate {
public:
    // Changed: a file's size or time moved between its listing and the end of its reading.
    enum Failure { None, ReadFailed, SpoolFailed, Aborted, Changed };

    // abort is read between pieces of every file and may be set from any thread.
    ParallelDeflate(const QStringList& paths, int level, const std::atomic<bool>& abort);
    ~ParallelDeflate();
    ParallelDeflate(const ParallelDeflate&) = delete;
    ParallelDeflate& operator=(const ParallelDeflate&) = delete;

    // Starts the threads, with their spool files in spoolFolder. False when a spool file
    // cannot be created (failureText() says why).
    bool start(const QString& spoolFolder);
    // The source of file i (as in paths) for zip_file_add; it carries the file's time and
    // attributes as libzip's own file source would. Null when the file cannot be looked at.
    zip_source_t* source(int i, zip_error_t* error);

    Failure failure() const;
    QString failureText() const;

private:
    struct Entry;
    struct Spool;
    struct Source;
    static zip_int64_t sourceCallback(void* state, void* data, zip_uint64_t length,
                                      zip_source_cmd_t command);

    void work(int spoolIndex);
    bool deflateFile(Entry& entry, int spoolIndex);
    void fail(Failure failure, const QString& text);
    bool waitFor(int i);

    std::vector<Entry> m_entries;
    std::vector<int> m_order; // biggest files first, so that no thread is left with a big one
    std::vector<std::unique_ptr<Spool>> m_spools;
    std::vector<std::thread> m_threads;
    const int m_level;
    const std::atomic<bool>& m_abort;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_next{0};

    mutable std::mutex m_mutex;
    std::condition_variable m_doneChanged;
    Failure m_failure = None;
    QString m_failureText;
};
