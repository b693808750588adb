// What differs between POSIX and Windows, behind a few functions: port_posix.cpp and
// port_windows.cpp hold them, and the build takes the one for its platform.
#ifndef MAKE_EFUSE_PORT_H
#define MAKE_EFUSE_PORT_H

#ifdef _WIN32
// Windows stores names in UTF-16 and hands the arguments over so to wmain (-municode); the
// narrow calls would pass them through the code page, which swaps in look-alikes or fails.
#define main wmain
#define ARG "%ls"
typedef wchar_t argchar;
#else
#define ARG "%s"
typedef char argchar;
#endif

// What an open reached: a device (or anything else that opening for writing can't empty), a
// device reached through what looks like a file's name, a directory, a disk or a partition
// (whose data a bit map would overwrite), something that can't be told, a pipe or FIFO, or a
// regular file; the last two known by their volume and their index there.
enum { DEVICE, DEVICE_NAME, DIRECTORY, DISK, OTHER, PIPE, REGULAR };
struct place {
    int kind;
    unsigned long long volume, index;
};

// Makes the standard descriptors and streams safe to write to, whatever the caller left them.
void startup();

// Opens the word list for reading, and the bit map for reading and writing (a FIFO or a device
// for writing only), created where missing and never truncated; both in binary. They return a
// descriptor, or -1 with errno set.
int openlist(const argchar *name);
int openmap(const argchar *name);

// Tells what the open fd reached; false, with errno set, where that can't be told.
bool identify(int fd, const argchar *name, struct place *p);

// Locks the bit map fd for this run; false where another run holds it.
bool lockmap(int fd);

#endif
