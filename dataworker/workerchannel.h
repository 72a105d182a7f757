#pragma once

#include "client/foundation/statuswriter.h"
#include "client/missions/workerprotocol.h"

#include <QElapsedTimer>

// The worker's side of the pipe to the client: frames on standard output, status lines as they
// come, progress at most a few times a second so that a fast table costs nothing extra.
class WorkerChannel : public StatusWriter {
public:
    WorkerChannel();

    void writeStatus(const QString& text) override;
    void progress();
    void send(WorkerProtocol::Kind kind, const QByteArray& payload = QByteArray());

private:
    QElapsedTimer m_sinceProgress;
};
