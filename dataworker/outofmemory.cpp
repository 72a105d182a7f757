#include "dataworker/outofmemory.h"

#include "client/missions/workerprotocol.h"
#include "dataworker/framesout.h"

// The reading library built with glib allocates through it (Linux); the one built without it
// (Windows) uses the C library's allocator and has no log writer to hook.
#if __has_include(<glib.h>)
#include <glib.h>
#define SKYVANE_LIBMDB_GLIB 1
#endif

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

#ifdef SKYVANE_LIBMDB_GLIB
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
#endif

} // namespace

void OutOfMemory::install() {
    std::set_new_handler(report);
#ifdef SKYVANE_LIBMDB_GLIB
    g_log_set_writer_func(logWriter, nullptr, nullptr);
#endif
}

void OutOfMemory::report() {
    static std::atomic_flag reported = ATOMIC_FLAG_INIT;
    if (!reported.test_and_set()) {
        static const char frame[] = {char(WorkerProtocol::Kind::OutOfMemory), 0, 0, 0, 0};
        FramesOut::write(frame, sizeof frame);
    }
    std::_Exit(3);
}
