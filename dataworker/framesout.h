#pragma once

#include <cstddef>

// Where the worker's frames leave: what was standard output when it started. Standard output
// itself is then pointed at standard error, because the reading library prints to it about
// some damaged files, and nothing but frames may reach the client on that pipe.
namespace FramesOut {

// Takes standard output for the frames; first thing in main.
void take();

// Writes the bytes at once, unbuffered; allocates nothing, so it also serves when memory has
// run out.
void write(const char* bytes, size_t size);

} // namespace FramesOut
