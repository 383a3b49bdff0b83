// SPDX-License-Identifier: MIT
/* Faults of a real machine for the settings file, injected with LD_PRELOAD.
 *
 * Tests start the program with LD_PRELOAD=<build>/tests/shim/libnopi_faults.so and:
 *   NOPI_FAULT_FSYNC_DELAY_MS=N      fsync/fdatasync of nopi.ini sleep N ms first
 *                                    (a slow disk; alarms must still fire);
 *   NOPI_FAULT_DISK_FULL_FLAG=PATH   while the file PATH exists, write, pwrite,
 *                                    fsync and fdatasync of nopi.ini fail with
 *                                    ENOSPC (a full disk; create and remove
 *                                    PATH to start and end the fault).
 * "nopi.ini" means any regular file whose path contains that name, so the
 * save's temporary file and the copy of a damaged file are included; sockets,
 * pipes, stdin/stdout/stderr and every other file are left alone. */

#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

typedef ssize_t (*WriteFunction)(int, const void *, size_t);
typedef ssize_t (*PwriteFunction)(int, const void *, size_t, off_t);
typedef ssize_t (*WritevFunction)(int, const struct iovec *, int);
typedef int (*SyncFunction)(int);

/* The C library's own function of that name. */
#define REAL(type, name)                                   \
    static type real;                                      \
    if (!real) {                                           \
        void *symbol = dlsym(RTLD_NEXT, name);             \
        memcpy(&real, &symbol, sizeof real);               \
    }

static int isSettingsFile(int fd)
{
    const int saved = errno;
    struct stat info;
    char link[64];
    char path[4096];
    ssize_t length;
    int result = 0;
    if (fd > 2 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        length = readlink(link, path, sizeof path - 1);
        if (length > 0) {
            path[length] = '\0';
            result = strstr(path, "nopi.ini") != NULL;
        }
    }
    errno = saved;
    return result;
}

static int diskFull(int fd)
{
    const char *flag = getenv("NOPI_FAULT_DISK_FULL_FLAG");
    const int saved = errno;
    const int full = flag && *flag && access(flag, F_OK) == 0 && isSettingsFile(fd);
    errno = saved;
    if (full)
        errno = ENOSPC;
    return full;
}

static void slowSync(int fd)
{
    const char *delay = getenv("NOPI_FAULT_FSYNC_DELAY_MS");
    const long ms = delay ? atol(delay) : 0;
    struct timespec pause;
    if (ms > 0 && isSettingsFile(fd)) {
        pause.tv_sec = ms / 1000;
        pause.tv_nsec = (ms % 1000) * 1000000L;
        while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }
}

ssize_t write(int fd, const void *buffer, size_t size)
{
    REAL(WriteFunction, "write")
    return diskFull(fd) ? -1 : real(fd, buffer, size);
}

ssize_t pwrite(int fd, const void *buffer, size_t size, off_t offset)
{
    REAL(PwriteFunction, "pwrite")
    return diskFull(fd) ? -1 : real(fd, buffer, size, offset);
}

ssize_t pwrite64(int fd, const void *buffer, size_t size, off_t offset)
{
    REAL(PwriteFunction, "pwrite64")
    return diskFull(fd) ? -1 : real(fd, buffer, size, offset);
}

ssize_t writev(int fd, const struct iovec *parts, int count)
{
    REAL(WritevFunction, "writev")
    return diskFull(fd) ? -1 : real(fd, parts, count);
}

int fsync(int fd)
{
    REAL(SyncFunction, "fsync")
    slowSync(fd);
    return diskFull(fd) ? -1 : real(fd);
}

int fdatasync(int fd)
{
    REAL(SyncFunction, "fdatasync")
    slowSync(fd);
    return diskFull(fd) ? -1 : real(fd);
}
