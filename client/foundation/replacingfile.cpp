#include "client/foundation/replacingfile.h"

#include "client/foundation/filereplace.h"
#include "client/foundation/fullwrite.h"
#include "client/foundation/tempfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

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
    cancelWriting();
    // A name of our own rather than QTemporaryFile's: that one keeps its file open after
    // close(), and Windows cannot rename an open file. In the run's temporary folder for a
    // target in the program folder, so that what a crash leaves goes at the next start;
    // unbuffered, so that a full disk is named (writeFully).
    const QString stem =
        QDir(TempFolder::forTarget(m_target)).filePath(QFileInfo(m_target).fileName());
    for (int attempt = 0; attempt < 16; ++attempt) {
        const quint32 tag = QRandomGenerator::global()->generate() & 0xffffff;
        m_file.setFileName(stem + QStringLiteral(".%1.part").arg(tag, 6, 16, QLatin1Char('0')));
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (!QFileInfo::exists(m_file.fileName()))
            break; // not a name in use: the folder is missing or not writable
    }
    if (!m_file.isOpen()) {
        m_error = m_file.errorString();
        return false;
    }
    m_pending = true;
    // The finished file gets the permissions of the file it replaces. A new one keeps those it
    // was created with, as every new file of its folder (the umask, or the folder's default
    // ACL: in a program folder shared by a group, writable by the whole group).
    const QFileInfo old(m_target);
    if (old.exists())
        m_file.setPermissions(old.permissions());
    return true;
}

qint64 ReplacingFile::write(const char* data, qint64 size) {
    return writeFully(m_file, data, size) ? size : -1;
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
    m_file.close();
    if (!flushed || m_file.error() != QFileDevice::NoError) {
        m_error = m_file.errorString();
        cancelWriting();
        return false;
    }
    QString error;
    if (!replaceFile(m_file.fileName(), m_target, &error)) {
        m_error = error;
        cancelWriting();
        return false;
    }
    m_pending = false;
    return true;
}

void ReplacingFile::cancelWriting() {
    // Nothing to remove before open() and after commit().
    if (!m_pending)
        return;
    m_file.close();
    m_file.remove();
    m_pending = false;
}

QString ReplacingFile::temporaryName() const {
    return m_file.fileName();
}

QString ReplacingFile::errorString() const {
    return m_error.isEmpty() ? m_file.errorString() : m_error;
}
