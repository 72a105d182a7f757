// svGetData: the database worker. The client starts it for one getdata mission, with the
// mission file as its argument, and reads its frames (client/missions/workerprotocol.h) from
// standard output. Everything that touches the database file runs here, so that a damaged file
// that makes the reading library loop, eat memory or crash costs that one mission only.
#include "client/foundation/tempfolder.h"
#include "client/missions/getdata.h"
#include "client/missions/workerprotocol.h"
#include "dataworker/framesout.h"
#include "dataworker/outofmemory.h"
#include "dataworker/workerchannel.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    FramesOut::take();
    OutOfMemory::install();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: svGetData MISSION.ini (started by the client)\n");
        return 2;
    }
    // The client says go once this process is under its memory limit; end of input means the
    // client is gone.
    if (std::getchar() != 'g')
        return 2;

    TempFolder::clearLeftovers();
    WorkerChannel out;
    const GetDataRange range =
        ExtractGetData(args.at(1), out, systemClock(), [&out] { out.progress(); });
    if (range.found)
        out.send(WorkerProtocol::Kind::Range, range.first.toUtf8() + '\n' + range.last.toUtf8());
    out.send(WorkerProtocol::Kind::Done);
    return 0;
}
