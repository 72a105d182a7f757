// The C library's allocator, wrapped for the worker's whole process (the reading library and
// glib included): an allocation that fails under the memory limit is reported at once. glib
// cannot do it: when g_malloc fails it aborts while preparing its own error message, which
// needs memory too, so the client would see a crash instead of the limit.
#include "client/foundation/sanitizers.h"
#include "dataworker/outofmemory.h"

#include <cstddef>

// AddressSanitizer brings its own allocator, and the client sets no limit under it.
#if !SKYVANE_ADDRESS_SANITIZER
extern "C" {

void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* old, size_t size);

void* malloc(size_t size) {
    void* block = __libc_malloc(size);
    if (!block && size)
        OutOfMemory::report();
    return block;
}

void* calloc(size_t count, size_t size) {
    void* block = __libc_calloc(count, size);
    if (!block && count && size)
        OutOfMemory::report();
    return block;
}

void* realloc(void* old, size_t size) {
    void* block = __libc_realloc(old, size);
    if (!block && size)
        OutOfMemory::report();
    return block;
}

} // extern "C"
#endif
