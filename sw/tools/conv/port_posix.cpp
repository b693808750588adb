// make_efuse on POSIX systems.

// SIGXFSZ is POSIX's X/Open part, which strict standard mode hides unless asked for.
#define _XOPEN_SOURCE 700
#include "port.h"
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void startup()
{
    // A descriptor 0, 1 or 2 that the caller left closed would be given to the word list or the
    // bit map, and the echo or a message meant for standard error would land in it.
    for (int fd = 0; fd < 3; fd++)
        if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDWR) != fd) {
            perror("/dev/null");
            exit(1);
        }
    // A reader of standard error that went away, or a file-size limit, would end the run
    // unreported and the bit map half written: the write fails instead, and is reported.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

int openlist(const char *name)
{
    return open(name, O_RDONLY);
}

// A FIFO or a device is opened for writing only, as the shell's > does: opened for reading
// too, a FIFO wouldn't wait for its reader, and its bit lines would be lost. The look at the
// path chooses no more than that: the run decides on what the open reached.
int openmap(const char *name)
{
    struct stat st;
    if (stat(name, &st) == 0 && !S_ISREG(st.st_mode))
        return open(name, O_WRONLY);
    return open(name, O_RDWR | O_CREAT, 0666);
}

bool identify(int fd, const char *, struct place *p)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return false;
    p->kind = S_ISREG(st.st_mode)    ? REGULAR
              : S_ISDIR(st.st_mode)  ? DIRECTORY
              : S_ISBLK(st.st_mode)  ? DISK
              : S_ISFIFO(st.st_mode) ? PIPE
                                     : DEVICE;
    p->volume = st.st_dev;
    p->index = st.st_ino;
    return true;
}

// A record lock over the whole file. A file system without locks leaves the bit map as
// unguarded as it was.
bool lockmap(int fd)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_SETLK, &lock) == 0 || (errno != EACCES && errno != EAGAIN);
}
