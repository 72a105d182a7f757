#include "client/foundation/replacingfile.h"

#include <QFileInfo>

#include <filesystem>
#include <system_error>

ReplacingFile::ReplacingFile(const QString& target) : m_target(target) {}

ReplacingFile::~ReplacingFile() {
    cancelWriting();
}

void ReplacingFile::setFileName(const QString& target) {
    m_target = target;
}

QString ReplacingFile::fileName() const {
    return m_target;
}

bool ReplacingFile::open() {
    m_error.clear();
    m_file.setFileTemplate(m_target + QStringLiteral(".XXXXXX.part"));
    if (!m_file.open()) {
        m_error = m_file.errorString();
        return false;
    }
    // A temporary file is private to its owner; the finished one gets the permissions of the
    // file it replaces, or those of a new file.
    const QFileInfo old(m_target);
    m_file.setPermissions(old.exists() ? old.permissions()
                                       : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ReadUser | QFileDevice::WriteUser |
                                             QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return true;
}

qint64 ReplacingFile::write(const char* data, qint64 size) {
    return m_file.write(data, size);
}

QFileDevice& ReplacingFile::device() {
    return m_file;
}

bool ReplacingFile::commit() {
    if (!m_file.isOpen()) {
        m_error = QStringLiteral("the file is not open");
        return false;
    }
    const bool flushed = m_file.flush();
    const QString temporary = m_file.fileName();
    m_file.close();
    if (!flushed || m_file.error() != QFileDevice::NoError) {
        m_error = m_file.errorString();
        m_file.remove();
        return false;
    }
    // rename(2) on POSIX, MoveFileEx with MOVEFILE_REPLACE_EXISTING on Windows.
    std::error_code error;
    std::filesystem::rename(QFileInfo(temporary).filesystemAbsoluteFilePath(),
                            QFileInfo(m_target).filesystemAbsoluteFilePath(), error);
    if (error) {
        m_error = QString::fromLocal8Bit(error.message().c_str());
        m_file.remove();
        return false;
    }
    m_file.setAutoRemove(false);
    return true;
}

void ReplacingFile::cancelWriting() {
    // Nothing to remove before open() and after commit().
    if (!m_file.fileName().isEmpty() && m_file.autoRemove())
        m_file.remove();
}

QString ReplacingFile::errorString() const {
    return m_error.isEmpty() ? m_file.errorString() : m_error;
}
