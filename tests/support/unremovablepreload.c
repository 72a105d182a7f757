// Loaded with LD_PRELOAD into a program under test: removing a file whose path contains the
// text of SKYVANE_TEST_UNREMOVABLE fails with EBUSY, as removing a file that another program
// holds open fails on Windows.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

static int refused(const char* path) {
    const char* part = getenv("SKYVANE_TEST_UNREMOVABLE");
    return part && *part && path && strstr(path, part);
}

int unlink(const char* path) {
    if (refused(path)) {
        errno = EBUSY;
        return -1;
    }
    int (*real)(const char*) = (int (*)(const char*))dlsym(RTLD_NEXT, "unlink");
    return real(path);
}

int unlinkat(int folder, const char* path, int flags) {
    if (refused(path)) {
        errno = EBUSY;
        return -1;
    }
    int (*real)(int, const char*, int) =
        (int (*)(int, const char*, int))dlsym(RTLD_NEXT, "unlinkat");
    return real(folder, path, flags);
}
