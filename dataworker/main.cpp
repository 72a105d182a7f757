// svGetData: the database worker. The client starts it for one getdata mission, with the
// mission file as its argument, and reads its frames (client/missions/workerprotocol.h) from
// standard output. Everything that touches the database file runs here, so that a damaged file
// that makes the reading library loop, eat memory or crash costs that one mission only.
#include "client/missions/getdata.h"
#include "client/missions/workerprotocol.h"
#include "dataworker/workerchannel.h"

#include <QCoreApplication>
#include <QStringList>

#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

[[noreturn]] void outOfMemory() {
    // Nothing here may allocate: the frame has no payload and goes straight out.
    static const char frame[] = {char(WorkerProtocol::Kind::OutOfMemory), 0, 0, 0, 0};
    std::fwrite(frame, 1, sizeof frame, stdout);
    std::fflush(stdout);
    std::_Exit(3);
}

// The reading library allocates through glib, which ends the program when memory runs out;
// that end is told to the client as what it is. Its warnings about a damaged file go nowhere.
GLogWriterOutput logWriter(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer) {
    if (level & G_LOG_LEVEL_ERROR) {
        for (gsize i = 0; i < count; ++i) {
            if (g_strcmp0(fields[i].key, "MESSAGE") == 0 && fields[i].length < 0 &&
                g_strrstr(static_cast<const char*>(fields[i].value), "failed to allocate"))
                outOfMemory();
        }
    }
    return G_LOG_WRITER_HANDLED;
}

} // namespace

int main(int argc, char** argv) {
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::set_new_handler(outOfMemory);
    g_log_set_writer_func(logWriter, nullptr, nullptr);
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

    WorkerChannel out;
    const GetDataRange range =
        ExtractGetData(args.at(1), out, systemClock(), [&out] { out.progress(); });
    if (range.found)
        out.send(WorkerProtocol::Kind::Range, range.first.toUtf8() + '\n' + range.last.toUtf8());
    out.send(WorkerProtocol::Kind::Done);
    return 0;
}
