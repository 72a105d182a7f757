#pragma once

// The reading library's header. glib first: mdbtools.h uses its types without including it in
// every version. A libmdb built without GLib (Windows) brings its own stand-in through mdbtools.h.
#if __has_include(<glib.h>)
#include <glib.h>
#endif

#include <mdbtools.h>
