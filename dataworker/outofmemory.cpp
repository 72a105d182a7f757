#include "dataworker/outofmemory.h"

#include "client/missions/workerprotocol.h"
#include "dataworker/framesout.h"

#include <glib.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// The reading library allocates through glib, which ends the program when memory runs out;
// that end is told to the client as what it is. Its warnings about a damaged file go nowhere.
// (Where the C library's allocator is wrapped, a failure is reported before glib sees it.)
GLogWriterOutput logWriter(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer) {
    if (level & G_LOG_LEVEL_ERROR) {
        for (gsize i = 0; i < count; ++i) {
            if (g_strcmp0(fields[i].key, "MESSAGE") == 0 && fields[i].length < 0 &&
                g_strrstr(static_cast<const char*>(fields[i].value), "failed to allocate"))
                OutOfMemory::report();
        }
    }
    return G_LOG_WRITER_HANDLED;
}

} // namespace

void OutOfMemory::install() {
    std::set_new_handler(report);
    g_log_set_writer_func(logWriter, nullptr, nullptr);
}

void OutOfMemory::report() {
    static std::atomic_flag reported = ATOMIC_FLAG_INIT;
    if (!reported.test_and_set()) {
        static const char frame[] = {char(WorkerProtocol::Kind::OutOfMemory), 0, 0, 0, 0};
        FramesOut::write(frame, sizeof frame);
    }
    std::_Exit(3);
}
