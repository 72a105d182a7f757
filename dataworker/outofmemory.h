#pragma once

// The worker runs under a memory limit the client sets. Reaching it is told to the client as
// what it is (a frame of its own, then exit), wherever the failing allocation came from.
namespace OutOfMemory {

// Routes every way the worker learns of a failed allocation to report().
void install();

// Sends the out-of-memory frame and ends the process; allocates nothing.
[[noreturn]] void report();

} // namespace OutOfMemory
