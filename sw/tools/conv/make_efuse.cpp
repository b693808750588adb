// make_efuse: turns a word list of hexadecimal fuse words into a bit map,
// one line of 32 digits 0 and 1 per word, bit 31 first, at most 32 words.
// What it writes gets burnt into one-time-programmable fuses, so any doubt
// about a word stops the run with status 1 rather than write a guess.

// fileno, fstat and fcntl are POSIX: strict standard mode hides them unless asked for.
#define _POSIX_C_SOURCE 200809L
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

static FILE *infile;
static FILE *outfile;

// What stands at the bit map's path, which opening it will truncate.
enum { NOTHING_TO_LOSE, SAME_FILE, OTHER_FILE };

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>

// The C runtime starts standard error in text mode, which would end every message in CR LF.
// Descriptors 0 to 2 need nothing: it keeps them reserved even when the caller gave no handle.
static void openstandard()
{
    _setmode(_fileno(stderr), _O_BINARY);
}

// Windows knows a file by its volume's serial number and its index there; it has no inode
// numbers. The bit map's path is opened for no access at all, which creates and truncates
// nothing; devices such as NUL have nothing to lose.
static int mapfile(const char *outfilename)
{
    BY_HANDLE_FILE_INFORMATION in, out;
    HANDLE h = CreateFileA(outfilename, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return NOTHING_TO_LOSE;
    bool regular = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &out) &&
                   !(out.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(h);
    if (!regular)
        return NOTHING_TO_LOSE;
    h = (HANDLE)_get_osfhandle(_fileno(infile));
    if (GetFileInformationByHandle(h, &in) && in.dwVolumeSerialNumber == out.dwVolumeSerialNumber &&
        in.nFileIndexHigh == out.nFileIndexHigh && in.nFileIndexLow == out.nFileIndexLow)
        return SAME_FILE;
    return OTHER_FILE;
}
#else
#include <sys/stat.h>

// A descriptor 0, 1 or 2 left closed by the caller would be given to the word list or the
// bit map, and what is meant for standard error would land in them.
static void openstandard()
{
    for (int fd = 0; fd <= 2; fd++)
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) != fd)
            exit(1);
}

static int mapfile(const char *outfilename)
{
    struct stat in, out;
    if (stat(outfilename, &out) != 0 || !S_ISREG(out.st_mode))
        return NOTHING_TO_LOSE;
    if (fstat(fileno(infile), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
        return SAME_FILE;
    return OTHER_FILE;
}
#endif

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

// Reads one word as a "%x\n" scan would (white space, optional sign, optional
// 0x or 0X, hexadecimal digits) but refuses what such a scan would cut short
// or read as garbage. Returns 1 with the word in data; 0 with errno EINVAL
// (not a number) or ERANGE (doesn't fit in 32 bits); EOF at the end of the
// list, or on a read error, which ferror(infile) then tells.
static int readword(uint32_t *data)
{
    int c;
    do
        c = getc(infile);
    while (iswhite(c));
    if (c == EOF)
        return EOF;

    bool negative = c == '-';
    if (c == '-' || c == '+')
        c = getc(infile);
    bool digits = false;
    if (c == '0') {
        c = getc(infile);
        if (c == 'x' || c == 'X')
            c = getc(infile);  // a prefix: a digit must follow it
        else
            digits = true;
    }
    // Leading zeros keep value at 0, so only significant digits can overflow.
    uint32_t value = 0;
    for (int digit; (digit = hexdigit(c)) >= 0; c = getc(infile), digits = true) {
        if (value > 0x0fffffff) {
            errno = ERANGE;
            return 0;
        }
        value = value << 4 | digit;
    }
    if (ferror(infile))
        return EOF;
    if (!digits) {
        errno = EINVAL;
        return 0;
    }
    if (negative && value != 0) {
        errno = ERANGE;
        return 0;
    }

    // The next scan skips the white space after the word; anything else begins the next token.
    if (!iswhite(c))
        ungetc(c, infile);
    *data = value;
    return 1;
}

// Whether an existing file reads as a bit map: at most 32 lines of 32 digits 0 and 1, each
// ended by LF, or CR LF where a bit map was checked out on Windows. Reads 1,089 bytes at most.
static bool isbitmap(FILE *file)
{
    int c = getc(file);
    for (int i = 0; i < 32 && c != EOF; i++) {
        for (int j = 0; j < 32; j++, c = getc(file))
            if (c != '0' && c != '1')
                return false;
        if (c == '\r')
            c = getc(file);
        if (c != '\n')
            return false;
        c = getc(file);
    }
    return c == EOF && !ferror(file);
}

int main(int argc, char *argv[])
{
    openstandard();
    // C starts standard error unbuffered, but some runtimes buffer it when it is a file or
    // a pipe: each echo line must go out before its bit line, and before any report.
    setvbuf(stderr, NULL, _IONBF, 0);

    if (argc != 3) {
        // Some systems can start a program with no arguments at all, not even its name.
        fprintf(stderr, "usage: %s infile outfile\n", argc > 0 ? argv[0] : "make_efuse");
        exit(1);
    }

    // Binary, so that no platform ends the list early at a Ctrl-Z byte.
    const char *infilename = argv[1];
    infile = fopen(infilename, "rb");
    if (infile == NULL) {
        perror("open 1");
        exit(1);
    }

    // Opening the bit map truncates it. An existing file there is replaced only when it is
    // a bit map itself: the commonest slip, swapped arguments, names the word list there.
    const char *outfilename = argv[2];
    int kind = mapfile(outfilename);
    if (kind == SAME_FILE) {
        fputs("open 2: word list and bit map are the same file\n", stderr);
        exit(1);
    }
    if (kind == OTHER_FILE) {
        FILE *old = fopen(outfilename, "rb");
        if (old == NULL || !isbitmap(old)) {
            if (old == NULL || ferror(old))
                perror("open 2");
            else
                fputs("open 2: existing file is not a bit map\n", stderr);
            exit(1);
        }
        fclose(old);
    }
    // Binary, so that no platform adds a carriage return to the line ends.
    outfile = fopen(outfilename, "wb");
    if (outfile == NULL) {
        perror("open 2");
        exit(1);
    }

    uint32_t data;
    for (int i = 0; i < 32; i++) {
        int status = readword(&data);
        if (status == EOF && !ferror(infile))
            break;
        if (status != 1) {
            perror("fscanf");
            fprintf(stderr, "status %d\n", status);
            exit(1);
        }

        // The echo line "%08x\n" and the bit line, formatted here a hexadecimal digit at a
        // time: printf's machinery would cost more than all the rest of the conversion.
        static const char bits[] = "0000" "0001" "0010" "0011" "0100" "0101" "0110" "0111"
                                   "1000" "1001" "1010" "1011" "1100" "1101" "1110" "1111";
        char echo[9], line[33];
        for (int j = 28; j >= 0; j -= 4) {
            uint32_t digit = data >> j & 15;
            echo[(28 - j) / 4] = "0123456789abcdef"[digit];
            memcpy(line + 28 - j, bits + 4 * digit, 4);
        }
        echo[8] = '\n';
        line[32] = '\n';
        fwrite(echo, 1, sizeof echo, stderr);
        if (fwrite(line, 1, sizeof line, outfile) != sizeof line) {
            perror("write 2");
            exit(1);
        }
    }

    // Exit would flush the bit map too, but without telling whether it worked; and fclose
    // doesn't tell of a failed flush in every C runtime (Wine's msvcrt), so flush first.
    if (fflush(outfile) != 0 || fclose(outfile) != 0) {
        perror("write 2");
        exit(1);
    }
    exit(0);
}
