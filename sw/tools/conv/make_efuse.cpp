// make_efuse: turns a word list of hexadecimal fuse words into a bit map,
// one line of 32 digits 0 and 1 per word, bit 31 first, at most 32 words.
// What it writes gets burnt into one-time-programmable fuses, so any doubt
// about a word stops the run with status 1 rather than write a guess.

// open, fcntl, fstat, stat, ftruncate, read, write and SIGXFSZ are POSIX (with its X/Open
// part): strict standard mode hides them unless asked for.
#define _XOPEN_SOURCE 700
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

// The word list and the bit map, as descriptors: a run reads and writes a few hundred bytes,
// and a stream's machinery would cost more than the conversion.
static int infile;
static int outfile;

// What an open reached, as far as losing a file is concerned: a device (or anything else that
// opening for writing can't empty), a device reached through what looks like a file name, a
// directory (which Windows doesn't open as a file), a disk or volume (whose data a bit map
// would overwrite), something that can't be told, a pipe or FIFO, or a regular file; the last
// two known by their volume and index there, a regular file also by its size.
enum { DEVICE, DEVICE_NAME, DIRECTORY, DISK, OTHER, PIPE, REGULAR };
struct place {
    int kind;
    unsigned long long volume, index, size;
};

// How a path is opened: the word list for reading; the bit map as a new file, or else for
// writing, created if missing but never truncated by the open; and an existing file at the bit
// map's path once more, to read what it holds.
enum { READ, CREATE, WRITE, CHECK };

// Whether standard error is a file named on the command line, the word list or the bit map
// (2>> list): the echo would be read back as words, and a report land among the bit lines or
// on a disk. Then nothing goes there. A pipe or a terminal shared with the bit map (2>&1) is
// the user's choice, and gets all.
static bool quiet;

// Reports a failure, by the error number or by a text of its own, and ends the run.
[[noreturn]] static void fail(const char *tag)
{
    if (!quiet)
        perror(tag);
    exit(1);
}

[[noreturn]] static void refuse(const char *tag, const char *text)
{
    if (!quiet)
        fprintf(stderr, "%s: %s\n", tag, text);
    exit(1);
}

// Reports a scan of the word list that failed: status 0 for a word that can't be converted,
// EOF for a list that can't be read.
[[noreturn]] static void failscan(int status)
{
    if (!quiet) {
        perror("fscanf");
        fprintf(stderr, "status %d\n", status);
    }
    exit(1);
}

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#include <cwchar>

// Windows stores names in UTF-16 and hands the arguments over so to wmain (-municode); the
// narrow calls would pass them through the code page, which swaps in look-alikes or fails.
#define main wmain
#define ARG "%ls"
typedef wchar_t argchar;

// Standard error's type and file ID, where it is a file (on Windows 8 and later) or a pipe that
// has one; Wine can't tell the volume of a handle it made from a Unix descriptor, and gives 0.
static DWORD errtype;
static FILE_ID_INFO errid;

// The C runtime starts standard error in text mode, which would end every message in CR LF.
// Descriptors 0 to 2 need nothing: it keeps them reserved even when the caller gave no handle.
static void startup()
{
    _setmode(2, _O_BINARY);
    HANDLE e = (HANDLE)_get_osfhandle(2);
    errtype = GetFileType(e);
    if ((errtype != FILE_TYPE_DISK && errtype != FILE_TYPE_PIPE) ||
        !GetFileInformationByHandleEx(e, FileIdInfo, &errid, sizeof errid))
        errtype = FILE_TYPE_UNKNOWN;
}

// Binary, so that no Ctrl-Z ends a file early and no carriage return is added to a line end.
static int openpath(const wchar_t *name, int how)
{
    static const int flags[] = {_O_RDONLY, _O_WRONLY | _O_CREAT | _O_EXCL, _O_WRONLY | _O_CREAT,
                                _O_RDONLY};
    return _wopen(name, flags[how] | _O_BINARY, _S_IREAD | _S_IWRITE);
}

// Whether a path is in the device namespace (\\.\COM10, //./NUL, or NT's own \??\C:) or
// literal (\\?\...).
static bool devicepath(const wchar_t *name)
{
    if (name[0] == '\\' && name[1] == '?' && name[2] == '?' && name[3] == '\\')
        return true;
    return (name[0] == '\\' || name[0] == '/') && (name[1] == '\\' || name[1] == '/') &&
           (name[2] == '.' || name[2] == '?') && (name[3] == '\\' || name[3] == '/');
}

// Windows takes a reserved name such as AUX, NUL or COM1 for its device wherever it stands in a
// path (aux.txt, fuses\aux, C:nul, nul:x): a user who writes one there means a file. A device is
// meant only by its bare name (NUL, com1:) or by a path where Windows translates no reserved
// name: one in the device namespace or a literal one.
static bool devicename(const wchar_t *name)
{
    if (devicepath(name))
        return true;
    static const wchar_t *const names[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$",
                                           L"COM#", L"LPT#"};
    size_t n = wcslen(name);
    if (n > 0 && name[n - 1] == ':')
        n--;
    for (const wchar_t *reserved : names) {
        size_t i = 0;
        for (; i < n && reserved[i] != 0; i++) {
            wchar_t c = name[i] >= 'a' && name[i] <= 'z' ? name[i] - 'a' + 'A' : name[i];
            if (reserved[i] == '#' ? c < '1' || c > '9' : c != reserved[i])
                break;
        }
        if (i == n && reserved[i] == 0)
            return true;
    }
    return false;
}

// A path in the device namespace with nothing after the device's name (\\.\C:,
// \\.\PhysicalDrive1, \\?\Volume{...}) opens the disk or volume itself, not a file on it.
static bool wholedevice(const wchar_t *name)
{
    if (!devicepath(name) || name[4] == 0)
        return false;
    for (name += 4; *name != 0; name++)
        if (*name == '\\' || *name == '/')
            return false;
    return true;
}

// Windows knows a file by its volume's serial number and its index there; it has no inodes.
// A directory can't be opened as a file at all. A pipe with no ID can't be told from another.
static bool identify(int fd, const wchar_t *name, struct place *p)
{
    HANDLE h = (HANDLE)_get_osfhandle(fd);
    BY_HANDLE_FILE_INFORMATION info;
    FILE_ID_INFO id;
    DWORD type = GetFileType(h);
    if (type == FILE_TYPE_CHAR)
        p->kind = devicename(name) ? DEVICE : DEVICE_NAME;
    else if (type == FILE_TYPE_PIPE &&
             GetFileInformationByHandleEx(h, FileIdInfo, &id, sizeof id)) {
        p->kind = PIPE;
        p->volume = id.VolumeSerialNumber;
        memcpy(&p->index, &id.FileId, sizeof p->index);
    } else if (type == FILE_TYPE_PIPE)
        p->kind = DEVICE;
    else if (wholedevice(name))
        p->kind = DISK;
    else if (type != FILE_TYPE_DISK)
        p->kind = OTHER;
    else if (!GetFileInformationByHandle(h, &info)) {
        errno = EIO;
        return false;
    } else {
        p->kind = REGULAR;
        p->volume = info.dwVolumeSerialNumber;
        p->index = (unsigned long long)info.nFileIndexHigh << 32 | info.nFileIndexLow;
        p->size = (unsigned long long)info.nFileSizeHigh << 32 | info.nFileSizeLow;
    }
    return true;
}

// Whether standard error is the file open as h, or, where pipes count, the pipe. A handle a
// program is given for it may lack the access that GetFileInformationByHandle needs, so both are
// known by their file ID.
static bool stderrsame(HANDLE h, bool pipes)
{
    FILE_ID_INFO id;
    DWORD type = GetFileType(h);
    return type == errtype && (type == FILE_TYPE_DISK || (pipes && type == FILE_TYPE_PIPE)) &&
           GetFileInformationByHandleEx(h, FileIdInfo, &id, sizeof id) &&
           memcmp(&id.FileId, &errid.FileId, sizeof id.FileId) == 0 &&
           (id.VolumeSerialNumber == errid.VolumeSerialNumber || id.VolumeSerialNumber == 0 ||
            errid.VolumeSerialNumber == 0);
}

static bool stderris(int fd, bool pipes)
{
    return stderrsame((HANDLE)_get_osfhandle(fd), pipes);
}

// Only a file on a drive is asked for its ID, as Windows' own translation of the name tells (it
// doesn't know NT's \??\): to ask a device or a pipe takes an open like any other, which a serial
// port or a pipe's server would serve as it would the run's own. The open asks only for
// attributes, and changes nothing.
static bool stderrnamed(const wchar_t *name)
{
    static wchar_t full[32768];
    if (errtype != FILE_TYPE_DISK || wcsncmp(name, L"\\??\\", 4) == 0)
        return false;
    DWORD n = GetFullPathNameW(name, sizeof full / sizeof *full, full, NULL);
    const wchar_t *path = n == 0 || n >= sizeof full / sizeof *full ? L"" : full;
    if (wcsncmp(path, L"\\\\?\\", 4) == 0)
        path += 4;
    wchar_t drive = path[0] >= 'a' && path[0] <= 'z' ? path[0] - 'a' + 'A' : path[0];
    if (drive < 'A' || drive > 'Z' || path[1] != ':' || path[2] != '\\')
        return false;
    HANDLE h = CreateFileW(name, FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool same = stderrsame(h, false);
    CloseHandle(h);
    return same;
}

// Windows' locks keep every other handle from the bytes they cover, this run's own check
// included: the byte locked lies past the end of any bit map.
static bool lockmap(int fd)
{
    OVERLAPPED at = {};
    at.Offset = 0xffffffff;
    at.OffsetHigh = 0x7fffffff;
    HANDLE h = (HANDLE)_get_osfhandle(fd);
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) ||
           GetLastError() != ERROR_LOCK_VIOLATION;
}

static int readsome(int fd, void *buffer, int size)
{
    return _read(fd, buffer, size);
}

static int writesome(int fd, const void *buffer, int size)
{
    return _write(fd, buffer, size);
}

static int closefile(int fd)
{
    return _close(fd);
}

static int cutfile(int fd, int size)
{
    return _chsize(fd, size);
}
#else
#include <sys/stat.h>
#include <unistd.h>

#define ARG "%s"
typedef char argchar;

// Standard error as the run found it; st_mode 0 where the caller closed it.
static struct stat errstat;

// A reader of standard error that went away, or a file-size limit, would end the run
// unreported and the bit map half written: the write fails instead, and is dealt with.
static void startup()
{
    if (fstat(2, &errstat) != 0)
        errstat.st_mode = 0;
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

// Opening a file again to check it never waits, should its path have become a FIFO meanwhile.
// A descriptor 0, 1 or 2 that the caller left closed would be given to the word list or the bit
// map, and what is meant for standard error would land in them: they take one above 2, and the
// standard one stays closed, so that /dev/stdin or /dev/fd/1 named then fails to open. The
// check only reads, and is never moved: closing a copy would give up the bit map's lock.
static int openpath(const char *name, int how)
{
    static const int flags[] = {O_RDONLY, O_WRONLY | O_CREAT | O_EXCL, O_WRONLY | O_CREAT,
                                O_RDONLY | O_NONBLOCK};
    int fd = open(name, flags[how], 0666);
    if (fd < 0 || fd > 2 || how == CHECK)
        return fd;
    int moved = fcntl(fd, F_DUPFD, 3), error = errno;
    close(fd);
    errno = error;
    return moved;
}

static bool identify(int fd, const char *, struct place *p)
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
    p->size = st.st_size;
    return true;
}

// Whether standard error is the file or the disk that st tells of (a disk by any of its names),
// or, where pipes count, the pipe or FIFO.
static bool stderrsame(const struct stat *st, bool pipes)
{
    if ((st->st_mode & S_IFMT) != (errstat.st_mode & S_IFMT))
        return false;
    if (S_ISBLK(st->st_mode))
        return st->st_rdev == errstat.st_rdev;
    return (S_ISREG(st->st_mode) || (pipes && S_ISFIFO(st->st_mode))) &&
           st->st_dev == errstat.st_dev && st->st_ino == errstat.st_ino;
}

static bool stderris(int fd, bool pipes)
{
    struct stat st;
    return fstat(fd, &st) == 0 && stderrsame(&st, pipes);
}

static bool stderrnamed(const char *name)
{
    struct stat st;
    return (S_ISREG(errstat.st_mode) || S_ISBLK(errstat.st_mode)) && stat(name, &st) == 0 &&
           stderrsame(&st, false);
}

// A file system without locks leaves the bit map as unguarded as it was.
static bool lockmap(int fd)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_SETLK, &lock) == 0 || (errno != EACCES && errno != EAGAIN);
}

static int readsome(int fd, void *buffer, int size)
{
    return read(fd, buffer, size);
}

static int writesome(int fd, const void *buffer, int size)
{
    return write(fd, buffer, size);
}

static int closefile(int fd)
{
    return close(fd);
}

static int cutfile(int fd, int size)
{
    return ftruncate(fd, size);
}
#endif

// One pipe or FIFO as both would hang the run, which holds its writing end, or take the bit
// lines back as words; one regular file would be emptied before it is read.
static bool samefile(const struct place *a, const struct place *b)
{
    return (a->kind == REGULAR || a->kind == PIPE) && a->kind == b->kind &&
           a->volume == b->volume && a->index == b->index;
}

// The word list is read through its descriptor a block at a time. Its end, or a read that
// fails, which readfailed then tells, ends it for good: a terminal isn't asked twice.
static char block[4096];
static int blocksize, blocknext;
static bool ended, readfailed;

static bool readblock()
{
    if (ended)
        return false;
    blocksize = readsome(infile, block, sizeof block);
    blocknext = 0;
    if (blocksize <= 0) {
        ended = true;
        readfailed = blocksize < 0;
        blocksize = 0;
    }
    return !ended;
}

static int nextbyte()
{
    if (blocknext == blocksize && !readblock())
        return EOF;
    return (unsigned char)block[blocknext++];
}

// The word list is plain ASCII whatever the locale: white space is blank, tab,
// line feed, vertical tab, form feed or carriage return.
static bool iswhite(int c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The value of a hexadecimal digit in either case, or -1 for any other character.
static int hexdigit(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Whether the last word ended at something other than white space or the end of the list.
static bool glued;

// Reads one word as a "%x\n" scan would (white space, optional sign, optional 0x or 0X,
// hexadecimal digits) but refuses what such a scan would cut short or read as garbage, and a
// line of a bit map. Returns 1 with the word in data, and glued telling how it ended; 0 with
// errno EINVAL (not a number) or ERANGE (doesn't fit in 32 bits); EOF at the end of the list, or
// on a read error, which readfailed then tells.
static int readword(uint32_t *data)
{
    int c;
    do
        c = nextbyte();
    while (iswhite(c));
    if (c == EOF)
        return EOF;

    bool negative = c == '-', sign = c == '-' || c == '+', prefix = false;
    if (sign)
        c = nextbyte();
    unsigned long long digits = 0;  // leading zeros included
    if (c == '0') {
        c = nextbyte();
        prefix = c == 'x' || c == 'X';
        if (prefix)
            c = nextbyte();  // a digit must follow it
        else
            digits = 1;
    }
    // Leading zeros keep value at 0, so only significant digits can overflow.
    uint32_t value = 0;
    for (int digit; (digit = hexdigit(c)) >= 0; c = nextbyte(), digits++) {
        if (value > 0x0fffffff) {
            errno = ERANGE;
            return 0;
        }
        value = value << 4 | digit;
    }
    if (readfailed)
        return EOF;
    // A line of a bit map, 32 digits 0 and 1, fits where 24 of them are leading zeros, and would
    // convert into another line: a bit map that doesn't pass for one as a whole (33 lines, a
    // blank line between lines, its last line end lost, or from a pipe) is refused at its first.
    if (digits == 0 || (digits == 32 && !sign && !prefix && (value & 0xeeeeeeee) == 0)) {
        errno = EINVAL;
        return 0;
    }
    if (negative && value != 0) {
        errno = ERANGE;
        return 0;
    }
    glued = c != EOF && !iswhite(c);
    *data = value;
    return 1;
}

// Whether a file reads as a bit map: at most 32 lines of 32 digits 0 and 1, each ended by LF,
// or CR LF where a bit map was checked out on Windows, and after them white space only, such as
// the blank line an editor adds. text holds the first size bytes of it, out of room, and is
// filled from fd, as some file systems read in short pieces; what follows is read over the white
// space after the lines, so that text then holds the file but for white space; end tells
// whether the file's end was met. Returns how many lines it holds, NOT_BIT_MAP, or READ_ERROR.
enum { NOT_BIT_MAP = -1, READ_ERROR = -2 };
static int bitlines(int fd, char *text, int *size, int room, bool *end)
{
    int got = 1;
    while (*size < room && (got = readsome(fd, text + *size, room - *size)) > 0)
        *size += got;
    *end = got == 0;
    if (got < 0)
        return READ_ERROR;
    int i = 0, lines = 0;
    for (; lines < 32 && i < *size && !iswhite(text[i]); lines++) {
        for (int stop = i + 32; i < stop; i++)
            if (i == *size || (text[i] != '0' && text[i] != '1'))
                return NOT_BIT_MAP;
        if (i < *size && text[i] == '\r')
            i++;
        if (i == *size || text[i++] != '\n')
            return NOT_BIT_MAP;
    }
    // 32 lines take at most 1,088 bytes, so there is always room to read on, until the end.
    for (int keep = i;;) {
        for (; i < *size; i++)
            if (!iswhite(text[i]))
                return NOT_BIT_MAP;
        if (got == 0)
            return lines;
        got = readsome(fd, text + keep, room - keep);
        *end = got == 0;
        if (got < 0)
            return READ_ERROR;
        i = keep;
        *size = keep + got;
    }
}

// Refuses the run when what the bit map's path reached is a device named like a file, a disk,
// can't be told, is the word list itself, or is an existing file that doesn't read as a bit map
// (most often the word list, with the arguments swapped), and leaves it as it is. Reading a file
// takes a second open, which counts only if it reached the same file; it stays open, as closing
// it would give up the bit map's lock.
static void checkmap(const argchar *outfilename, const struct place *map, const struct place *list)
{
    if (map->kind == DEVICE_NAME)
        refuse("open 2", "name is reserved for a device");
    if (map->kind == DISK)
        refuse("open 2", "bit map is a disk or volume");
    if (map->kind == OTHER)
        refuse("open 2", "not a file, a device or a pipe");
    if (samefile(map, list))
        refuse("open 2", "word list and bit map are the same file");
    if (map->kind != REGULAR)
        return;
    struct place again;
    int check = openpath(outfilename, CHECK);
    if (check < 0 || !identify(check, outfilename, &again))
        fail("open 2");
    if (!samefile(&again, map))
        refuse("open 2", "bit map was replaced while it was checked");
    char old[4096];
    int size = 0;
    bool end;
    int lines = bitlines(check, old, &size, sizeof old, &end);
    if (lines == READ_ERROR)
        fail("open 2");
    if (lines == NOT_BIT_MAP)
        refuse("open 2", "existing file is not a bit map");
}

// Opens the bit map once, as a new file where none exists, truncating nothing, and decides on
// what that open reached; only then is an existing file truncated, and the bit map written,
// through that same open. A file is locked from then until the run ends: two runs into one bit
// map would mix their lines. A file that the run creates holds nothing to lose, and needs no
// check, unless another run wrote it before the lock was taken; so the lock comes first. Only a
// lock on a file counts: two runs into /dev/null are no harm.
static int openmap(const argchar *outfilename, const struct place *list, struct place *map)
{
    int fd = openpath(outfilename, CREATE);
    bool created = fd >= 0;
    if (!created)
        fd = openpath(outfilename, WRITE);
    if (fd < 0) {
        // A file that can't be opened for writing may still be the word list, or a file that
        // isn't a bit map: say so, rather than invite the user to make it writable.
        int error = errno;
        int check = openpath(outfilename, CHECK);
        if (check >= 0 && identify(check, outfilename, map)) {
            quiet = quiet || stderris(check, false);
            checkmap(outfilename, map, list);
        }
        errno = error;
        fail("open 2");
    }
    bool locked = lockmap(fd);
    if (!identify(fd, outfilename, map))
        fail("open 2");
    quiet = quiet || stderris(fd, false);
    if (map->kind == REGULAR && !locked)
        refuse("open 2", "bit map is in use by another run");
    if (!created || map->kind != REGULAR || map->size != 0) {
        checkmap(outfilename, map, list);
        if (map->kind == REGULAR && cutfile(fd, 0) != 0)
            fail("open 2");
    }
    return fd;
}

// Writes the bit lines in one go. Where a write fails partway, a file is cut back to its last
// whole line, so that no fragment of a line is left to be taken for a word.
static void writemap(const char *lines, int size, bool regular)
{
    for (int done = 0, n; done < size; done += n) {
        n = writesome(outfile, lines + done, size - done);
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            int error = errno;
            if (regular)
                cutfile(outfile, done - done % 33);
            errno = error;
            fail("write 2");
        }
    }
}

int main(int argc, argchar *argv[])
{
    startup();
    for (int k = 1; k < argc; k++)
        quiet = quiet || stderrnamed(argv[k]);

    if (argc != 3) {
        // Some systems can start a program with no arguments at all, not even its name.
        if (argc == 0)
            refuse("usage", "make_efuse infile outfile");
        if (!quiet)
            fprintf(stderr, "usage: " ARG " infile outfile\n", argv[0]);
        exit(1);
    }

    const argchar *infilename = argv[1];
    struct place list;
    infile = openpath(infilename, READ);
    if (infile < 0 || !identify(infile, infilename, &list))
        fail("open 1");
    // Standard error into the list's own pipe or FIFO would feed the echo back in as words, and the
    // run, which holds a writing end, would wait for the list's end for ever: it stops here.
    bool errlist = stderris(infile, true);
    quiet = quiet || errlist;
    if (errlist && list.kind == PIPE)
        exit(1);
    if (list.kind == DIRECTORY) {
        errno = EISDIR;
        fail("open 1");
    }
    if (list.kind == DEVICE_NAME)
        refuse("open 1", "name is reserved for a device");
    if (list.kind == OTHER)
        refuse("open 1", "not a file, a device or a pipe");
    // A bit map given as the word list would read as words of digits 0 and 1, and be converted
    // into another. A file is read ahead to tell; a pipe or a device is not: its writer may come
    // late. A file of white space only is an empty list.
    if (list.kind == REGULAR && readblock()) {
        int lines = bitlines(infile, block, &blocksize, sizeof block, &ended);
        if (lines > 0)
            refuse("open 1", "word list is a bit map");
        readfailed = lines == READ_ERROR;
    }
    // A list found unreadable already fails the run before the bit map is touched.
    if (readfailed)
        failscan(EOF);

    const argchar *outfilename = argv[2];
    struct place map;
    outfile = openmap(outfilename, &list, &map);

    // The bit lines wait here, to reach the bit map in one write when the run ends, after the
    // echo line of every word and before any report.
    static char bitmap[32 * 33];
    uint32_t data;
    int i, status = 1;
    for (i = 0; i < 32 && !glued; i++) {
        status = readword(&data);
        if (status != 1)
            break;

        // The echo line "%08x\n" and the bit line, formatted here a hexadecimal digit at a
        // time: printf's machinery would cost more than all the rest of the conversion.
        static const char bits[] = "0000" "0001" "0010" "0011" "0100" "0101" "0110" "0111"
                                   "1000" "1001" "1010" "1011" "1100" "1101" "1110" "1111";
        char echo[9], *line = bitmap + 33 * i;
        for (int j = 28; j >= 0; j -= 4) {
            uint32_t digit = data >> j & 15;
            echo[(28 - j) / 4] = "0123456789abcdef"[digit];
            memcpy(line + 28 - j, bits + 4 * digit, 4);
        }
        echo[8] = '\n';
        line[32] = '\n';
        // The echo is for a person watching: if its reader has gone, the run goes on.
        if (!quiet)
            writesome(2, echo, sizeof echo);
    }
    // Only white space separates words, after the 32nd too: 0x100+0x4 may have been meant as
    // 0x104, and 8000000O (the letter O typed for a zero) as 80000000. The word before the glued
    // text converts, and the run stops there rather than read on.
    if (glued) {
        status = 0;
        errno = EINVAL;
    }

    int error = errno;
    writemap(bitmap, 33 * i, map.kind == REGULAR);
    if (status == 0 || readfailed) {
        errno = error;
        failscan(status);
    }
    // Some file systems tell of a failed write only when the file is closed.
    if (closefile(outfile) != 0)
        fail("write 2");
    exit(0);
}
