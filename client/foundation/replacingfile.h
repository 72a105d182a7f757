#pragma once

#include <QFile>
#include <QString>

// A file written under a temporary name (in the run's temporary folder, TempFolder::forTarget)
// and put in its place by commit(), which replaces an existing file in one step (replaceFile):
// readers see the old file or the whole new one.
// Unlike QSaveFile it does not wait for the data to reach the disk before the rename; that wait
// cost downloads and unpacking as long as the writing itself, and the files written here (a
// download, an unpacked entry) are fetched again after a power cut like everything else.
// Without commit() the temporary file is removed and the target stays as it was.
class ReplacingFile {
public:
    explicit ReplacingFile(const QString& target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void setFileName(const QString& target);
    QString fileName() const;
    bool open();
    // All of data, or -1 with errorString() naming the cause (a full disk too).
    qint64 write(const char* data, qint64 size);
    // The file being written, for what QFileDevice offers (times, flush).
    QFileDevice& device();
    bool commit();
    void cancelWriting();
    // Where the file is written until commit(); what a failure could not remove stays there.
    QString temporaryName() const;
    QString errorString() const;

private:
    QString m_target;
    QFile m_file;           // the temporary file beside the target
    bool m_pending = false; // m_file exists and is ours to remove
    QString m_error;
};
