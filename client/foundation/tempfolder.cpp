#include "client/foundation/tempfolder.h"

#include "client/foundation/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <memory>
#include <mutex>

namespace {

const char* const FolderName = "temp";

QString tempBase() {
    return QDir(Paths::programFolder()).filePath(QString::fromLatin1(FolderName));
}

// The program's name and process number: unique among the running processes.
QString runName() {
    const QString program = QCoreApplication::instance()
                                ? QFileInfo(QCoreApplication::applicationFilePath()).baseName()
                                : QStringLiteral("run");
    return program + QLatin1Char('-') + QString::number(QCoreApplication::applicationPid());
}

// A lock that only a live process holds: no age makes it stale.
std::unique_ptr<QLockFile> takeLock(const QString& path) {
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

struct RunFolder {
    std::mutex mutex;
    QString programFolder; // the one the folder was made in
    QString path;
    std::unique_ptr<QLockFile> lock;

    ~RunFolder() {
        releaseLocked();
    }
    void releaseLocked() {
        if (lock) {
            QDir(path).removeRecursively();
            lock->unlock();
            lock.reset();
        }
        path.clear();
        programFolder.clear();
    }
};

RunFolder& runFolder() {
    static RunFolder folder;
    return folder;
}

bool isInside(const QString& path, const QString& folder) {
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    const QString inner = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString outer = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return inner.compare(outer, cs) == 0 || inner.startsWith(outer + QLatin1Char('/'), cs);
}

} // namespace

namespace TempFolder {

void clearLeftovers() {
    const QDir base(tempBase());
    if (!base.exists())
        return;
    const QString own = runName();
    for (const QFileInfo& entry : base.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                     QDir::Hidden | QDir::System)) {
        if (entry.isDir()) {
            // Its lock file is made before it: a folder without one belongs to no live run.
            if (entry.fileName() != own && !QFileInfo::exists(entry.filePath() + ".lock"))
                QDir(entry.filePath()).removeRecursively();
        } else if (entry.suffix() == QLatin1String("lock") && entry.completeBaseName() != own) {
            if (std::unique_ptr<QLockFile> lock = takeLock(entry.filePath())) {
                QDir(base.filePath(entry.completeBaseName())).removeRecursively();
                lock->unlock();
            }
        }
    }
}

QString path() {
    RunFolder& run = runFolder();
    std::lock_guard<std::mutex> guard(run.mutex);
    const QString programFolder = Paths::programFolder();
    if (run.lock && run.programFolder == programFolder)
        return run.path;
    run.releaseLocked();
    const QString base = tempBase();
    const QString name = runName();
    if (!QDir().mkpath(base))
        return QString();
    std::unique_ptr<QLockFile> lock = takeLock(QDir(base).filePath(name + ".lock"));
    if (!lock)
        return QString();
    // An earlier process of the same number may have left its files.
    QDir folder(QDir(base).filePath(name));
    folder.removeRecursively();
    if (!QDir().mkpath(folder.path()))
        return QString();
    run.programFolder = programFolder;
    run.path = Paths::toNative(folder.path());
    run.lock = std::move(lock);
    return run.path;
}

QString forTarget(const QString& target) {
    const QString folder = QFileInfo(target).absolutePath();
    if (isInside(folder, Paths::programFolder())) {
        const QString own = path();
        if (!own.isEmpty())
            return own;
    }
    return Paths::toNative(folder);
}

void release() {
    RunFolder& run = runFolder();
    std::lock_guard<std::mutex> guard(run.mutex);
    run.releaseLocked();
}

} // namespace TempFolder
