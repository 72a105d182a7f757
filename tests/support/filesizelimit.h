#pragma once

#include <QtGlobal>

// While it lives, no file this process writes, nor one of a program it starts meanwhile, may
// grow beyond a size: the write that crosses it stops there and the next one fails, as on a
// full disk. Only where the system has such a limit (supported()); elsewhere nothing changes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    static bool supported();

private:
    quint64 m_oldSoft = 0;
};
