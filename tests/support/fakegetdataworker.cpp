// A stand-in for the database worker svGetData: it answers the client's start word, writes the
// first line of the mission's .tsv, says so in a status line, then misbehaves as the mission's
// TableName asks: Hang (never another word), Crash, Garble (a frame no worker sends).
#include "client/missions/workerprotocol.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {
void send(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::getchar() != 'g')
        return 2;
    const QString mission = QString::fromLocal8Bit(argv[1]);
    QFile file(mission);
    const QByteArray keys = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QFile tsv(mission.left(mission.size() - 4) + ".tsv");
    if (tsv.open(QIODevice::WriteOnly))
        tsv.write("10248\tpartial\r\n");
    tsv.close();
    // When it started, for tests that look at what the client did meanwhile: beside MissionData.
    QFile started(QFileInfo(mission).absolutePath() + "/../worker.started");
    if (started.open(QIODevice::WriteOnly))
        started.write(QByteArray::number(QDateTime::currentMSecsSinceEpoch()));
    started.close();
    send(WorkerProtocol::frame(WorkerProtocol::Kind::Status, "fake worker reading"));
    // A fault the system ends the process for on every platform (abort() is a plain exit with
    // code 3 on Windows).
    if (keys.contains("TableName=Crash"))
        __builtin_trap();
    if (keys.contains("TableName=Garble"))
        send("X\xff\xff\xff\xff");
    QThread::sleep(600);
    return 0;
}
