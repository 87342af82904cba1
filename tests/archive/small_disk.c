/* Loaded into a test's child process to make every file system look nearly full: the n-th
   fstatvfs call reports the n-th byte count of TK_FREE_BYTES ("1000" or "1099511627776,0"; the
   last one holds for the calls after it) as free. Never part of the program. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/statvfs.h>

static int calls;

static unsigned long long freeBytesForCall(int call) {
    const char* p = getenv("TK_FREE_BYTES");
    unsigned long long value = 0;
    for (int i = 0; p && *p; ++i) {
        char* end = NULL;
        value = strtoull(p, &end, 10);
        if (i == call || *end != ',') {
            break;
        }
        p = end + 1;
    }
    return value;
}

int fstatvfs(int fd, struct statvfs* buf) {
    static int (*real)(int, struct statvfs*);
    if (!real) {
        real = (int (*)(int, struct statvfs*))dlsym(RTLD_NEXT, "fstatvfs");
    }
    const int result = real(fd, buf);
    if (result == 0 && buf->f_frsize > 0) {
        const unsigned long long blocks = freeBytesForCall(calls++) / buf->f_frsize;
        buf->f_bavail = blocks;
        buf->f_bfree = blocks;
    }
    return result;
}
