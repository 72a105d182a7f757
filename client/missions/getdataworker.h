#pragma once

#include "client/missions/childmemorylimit.h"

#include <QString>
#include <functional>

class StatusWriter;

// Runs getdata missions in the database worker, a program of its own beside the client: a
// damaged database that makes the reading library loop, eat memory or crash costs that mission
// only. The client keeps serving its windows and timers while it waits.
class GetDataWorker {
public:
    struct Limits {
        // The worker is stopped when it reads no page and no row for this long.
        int noProgressMs = 60000;
        qint64 memoryBytes = 512LL * 1024 * 1024;
    };

    explicit GetDataWorker(const QString& programPath, const Limits& limits = defaultLimits());

    // The delivered limits; SKYVANE_GETDATA_NO_PROGRESS_MS shortens the wait for tests.
    static Limits defaultLimits();
    // The worker's file name on this platform, in the program folder.
    static QString programPath(const QString& programFolder);

    // Runs one mission: "Working On ...", the worker's own status lines, and when the worker
    // fails the usual error line naming the cause; then the .tsv is removed and the .tsd left as
    // it was. waitStep runs between looks at the worker (a short sleep, pending window events).
    // A .tsv from before the mission is removed first. False when a .tsv that is not this
    // mission's whole result cannot be removed (said in an error line): it must not be sent.
    bool run(const QString& missionPath, StatusWriter& status,
             const std::function<void()>& waitStep);

    // Cancel: a running worker is stopped at once, and none starts until it is cleared.
    void setAbort(bool abort);

    // For tests: what the system tells of a worker's memory once it has ended.
    void setMemoryUseQuery(std::function<ChildMemoryLimit::Use()> query);

private:
    QString m_programPath;
    Limits m_limits;
    std::function<ChildMemoryLimit::Use()> m_memoryUseQuery;
    bool m_abort = false;
};
