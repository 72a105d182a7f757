#include "dataworker/workerchannel.h"

#include "dataworker/framesout.h"

namespace {
constexpr int ProgressEveryMs = 200;
}

WorkerChannel::WorkerChannel() {
    m_sinceProgress.start();
}

void WorkerChannel::writeStatus(const QString& text) {
    send(WorkerProtocol::Kind::Status, text.toUtf8());
}

void WorkerChannel::progress() {
    if (m_sinceProgress.elapsed() < ProgressEveryMs)
        return;
    m_sinceProgress.restart();
    send(WorkerProtocol::Kind::Progress);
}

void WorkerChannel::send(WorkerProtocol::Kind kind, const QByteArray& payload) {
    const QByteArray frame = WorkerProtocol::frame(kind, payload);
    FramesOut::write(frame.constData(), size_t(frame.size()));
}
