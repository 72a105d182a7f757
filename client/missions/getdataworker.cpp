#include "client/missions/getdataworker.h"

#include "client/foundation/paths.h"
#include "client/foundation/statuswriter.h"
#include "client/missions/childmemorylimit.h"
#include "client/missions/getdatafiles.h"
#include "client/missions/missionfiles.h"
#include "client/missions/workerprotocol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

namespace {

using WorkerProtocol::Kind;

// What one run of the worker gave.
struct WorkerEnd {
    bool done = false;
    GetDataRange range;
    QString cause; // why the worker failed; empty when it ended well
};

QString megabytes(qint64 bytes) {
    return QString::number(bytes / (1024 * 1024));
}

// Removes a data file that is not the mission's whole result; false, having said so, when it
// stays (another program holds it open).
bool removeDataFile(const QString& path, const QString& tableName, StatusWriter& status) {
    QFile file(path);
    if (!file.exists() || file.remove())
        return true;
    status.writeStatus(QStringLiteral("Error in ProcessGetData on ") + tableName +
                       QStringLiteral(" error=cannot delete %1: %2; it is not sent")
                           .arg(path, file.errorString()));
    return false;
}

} // namespace

GetDataWorker::GetDataWorker(const QString& programPath, const Limits& limits)
    : m_programPath(programPath), m_limits(limits) {}

GetDataWorker::Limits GetDataWorker::defaultLimits() {
    Limits limits;
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("SKYVANE_GETDATA_NO_PROGRESS_MS", &ok);
    if (ok && ms > 0)
        limits.noProgressMs = ms;
    return limits;
}

QString GetDataWorker::programPath(const QString& programFolder) {
#ifdef Q_OS_WIN
    return Paths::join(programFolder, QStringLiteral("svGetData.exe"));
#else
    return Paths::join(programFolder, QStringLiteral("svGetData"));
#endif
}

void GetDataWorker::setAbort(bool abort) {
    m_abort = abort;
}

void GetDataWorker::setMemoryUseQuery(std::function<ChildMemoryLimit::Use()> query) {
    m_memoryUseQuery = std::move(query);
}

bool GetDataWorker::run(const QString& missionPath, StatusWriter& status,
                        const std::function<void()>& waitStep) {
    status.writeStatus(QStringLiteral("Working On ") + missionPath + QStringLiteral(", GetData"));
    const QString tableName = GetDataTableName(missionPath);
    const QString tsvPath =
        MissionFiles::companion(Paths::toNative(missionPath), QStringLiteral(".tsv"));
    // What lies there now is not this mission's result.
    if (!removeDataFile(tsvPath, tableName, status))
        return false;
    WorkerEnd end;

    QProcess process;
    process.setProgram(m_programPath);
    process.setArguments({missionPath});
    // The reading library can write megabytes of warnings a second about a damaged file.
    process.setStandardErrorFile(QProcess::nullDevice());
    ChildMemoryLimit memoryLimit(m_limits.memoryBytes);
    if (m_memoryUseQuery)
        memoryLimit.setUseQuery(m_memoryUseQuery);
    memoryLimit.prepare(process);
    if (m_abort) {
        end.cause = QStringLiteral("the mission was cancelled");
    } else {
        process.start();
        if (!process.waitForStarted())
            end.cause = QStringLiteral("the database reader %1 cannot be started: %2")
                            .arg(QDir::toNativeSeparators(m_programPath), process.errorString());
        else if (!memoryLimit.attach(process))
            end.cause = QStringLiteral("the memory limit of the database reader cannot be set");
    }

    if (end.cause.isEmpty()) {
        // The worker waits for this word, so that it runs under its limit from the start.
        process.write("g");
        WorkerProtocol::Reader reader;
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        bool outOfMemory = false;
        for (;;) {
            const bool running = process.state() != QProcess::NotRunning;
            if (running) {
                waitStep();
                process.waitForReadyRead(0);
            }
            reader.feed(process.readAllStandardOutput());
            Kind kind;
            QByteArray payload;
            while (reader.next(&kind, &payload)) {
                sinceProgress.restart();
                if (kind == Kind::Status) {
                    status.writeStatus(QString::fromUtf8(payload));
                } else if (kind == Kind::Range) {
                    const QList<QByteArray> dates = payload.split('\n');
                    end.range.found = dates.size() == 2;
                    end.range.first = QString::fromUtf8(dates.value(0));
                    end.range.last = QString::fromUtf8(dates.value(1));
                } else if (kind == Kind::Done) {
                    end.done = true;
                } else if (kind == Kind::OutOfMemory) {
                    outOfMemory = true;
                }
            }
            if (!running)
                break;
            if (reader.broken())
                end.cause = QStringLiteral("the database reader sent output that cannot be read");
            else if (m_abort)
                end.cause = QStringLiteral("the mission was cancelled");
            else if (sinceProgress.elapsed() > m_limits.noProgressMs)
                end.cause = QStringLiteral("the database reader made no progress for %1 s and "
                                           "was stopped")
                                .arg(m_limits.noProgressMs / 1000.0);
            if (!end.cause.isEmpty()) {
                process.kill();
                process.waitForFinished(5000);
                break;
            }
        }
        if (end.cause.isEmpty()) {
            const bool endedBadly =
                process.exitStatus() == QProcess::CrashExit || process.exitCode() != 0 || !end.done;
            if (outOfMemory || memoryLimit.reached(endedBadly))
                end.cause = QStringLiteral("the database reader went over its memory limit of "
                                           "%1 MB")
                                .arg(megabytes(m_limits.memoryBytes));
            else if (process.exitStatus() == QProcess::CrashExit)
                end.cause = QStringLiteral("the database reader crashed");
            else if (process.exitCode() != 0 || !end.done)
                end.cause = QStringLiteral("the database reader ended early (exit code %1)")
                                .arg(process.exitCode());
        }
    }

    if (!end.cause.isEmpty()) {
        status.writeStatus(QStringLiteral("Error in ProcessGetData on ") + tableName +
                           QStringLiteral(" error=") + end.cause);
        // Whatever the worker wrote is not the whole table; the .tsd keeps its dates so that
        // the range is asked for again.
        return removeDataFile(tsvPath, tableName, status);
    }
    WriteGetDataRange(missionPath, end.range, status);
    return true;
}
