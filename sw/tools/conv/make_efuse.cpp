// make_efuse: turns a word list of hexadecimal fuse words into a bit map,
// one line of 32 digits 0 and 1 per word, bit 31 first, at most 32 words.
// What it writes gets burnt into one-time-programmable fuses, so any doubt
// about a word stops the run with status 1 rather than write a guess.

// read, write, close, lseek and ftruncate are POSIX: strict standard mode hides them unless
// asked for.
#define _POSIX_C_SOURCE 200809L
#include "port.h"
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

// Reports a failure with the error's own text, or with one of ours, and ends the run.
[[noreturn]] static void fail(const char *tag, int error)
{
    errno = error;
    perror(tag);
    exit(1);
}

[[noreturn]] static void refuse(const char *tag, const char *text)
{
    fprintf(stderr, "%s: %s\n", tag, text);
    exit(1);
}

// The command as invoked names the program.
[[noreturn]] static void usage(const argchar *name)
{
    fprintf(stderr, "usage: " ARG " infile outfile\n", name);
    exit(1);
}

// A scan of the word list that failed: status 0 for a word that can't be converted, EOF for a
// list that can't be read.
[[noreturn]] static void failscan(int status, int error)
{
    errno = error;
    perror("fscanf");
    fprintf(stderr, "status %d\n", status);
    exit(1);
}

// A file read through its descriptor a block at a time: a run reads a few hundred bytes, and a
// stream's machinery would cost more than the conversion. Its end, or a read that fails, ends
// it for good: a terminal isn't asked twice, and a failed read is never taken for the end.
// error tells why it can't be read on: the read's error, or that of a word.
struct reader {
    int fd;
    int size, next;
    bool ended;
    int error;
    char block[4096];
};

static int nextbyte(struct reader *r)
{
    if (r->next == r->size) {
        if (r->ended)
            return EOF;
        int n = read(r->fd, r->block, sizeof r->block);
        if (n <= 0) {
            r->ended = true;
            r->error = n < 0 ? errno : 0;
            return EOF;
        }
        r->size = n;
        r->next = 0;
    }
    return (unsigned char)r->block[r->next++];
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

// Reads one word as a "%x\n" scan would (white space, optional sign, optional 0x or 0X,
// hexadecimal digits), but refuses what such a scan would cut short or misread. Returns 1 with
// the word in data; 0, with r->error EINVAL (not a word) or ERANGE (doesn't fit in 32 bits); EOF
// at the list's end, or where it can't be read, which r->error then tells.
static int readword(struct reader *r, uint32_t *data)
{
    int c;
    do
        c = nextbyte(r);
    while (iswhite(c));
    if (c == EOF)
        return EOF;

    bool negative = c == '-', sign = c == '-' || c == '+', prefix = false;
    if (sign)
        c = nextbyte(r);
    int digits = 0;  // leading zeros included, counted up to 33
    if (c == '0') {
        c = nextbyte(r);
        prefix = c == 'x' || c == 'X';
        if (prefix)
            c = nextbyte(r);  // a digit must follow it
        else
            digits = 1;
    }
    // Leading zeros keep value at 0, so only significant digits can make it too wide.
    uint32_t value = 0;
    bool wide = false, binary = true;
    for (int digit; (digit = hexdigit(c)) >= 0; c = nextbyte(r)) {
        wide = wide || value > 0x0fffffff;
        value = value << 4 | digit;
        binary = binary && digit < 2;
        digits += digits < 33;
    }
    if (r->error != 0)
        return EOF;
    // A line of a bit map, 32 digits 0 and 1, would convert into another line where 24 of them
    // are leading zeros: a bit map that doesn't pass for one as a whole (33 lines, a blank line
    // between lines, its last line end lost, or from a pipe) is refused at its first line.
    if (digits == 0 || (digits == 32 && binary && !sign && !prefix)) {
        r->error = EINVAL;
        return 0;
    }
    if (wide || (negative && value != 0)) {
        r->error = ERANGE;
        return 0;
    }
    // Only white space separates words, after the 32nd too: 0x100+0x4 may have been meant as
    // 0x104, and 8000000O (the letter O typed for a zero) as 80000000. The word before the glued
    // text converts, and the run stops there rather than read on.
    if (c != EOF && !iswhite(c))
        r->error = EINVAL;
    *data = value;
    return 1;
}

// Whether a file reads as a bit map: at most 32 lines of 32 digits 0 and 1, each ended by LF,
// or CR LF where a bit map was checked out on Windows, and after them white space only, such as
// the blank line an editor adds. Returns how many lines it holds, or NOT_BIT_MAP; whatever it
// returns, r->error tells of a read that failed.
enum { NOT_BIT_MAP = -1 };
static int bitlines(struct reader *r)
{
    int lines = 0, c = nextbyte(r);
    for (; lines < 32 && c != EOF && !iswhite(c); lines++) {
        for (int j = 0; j < 32; j++, c = nextbyte(r))
            if (c != '0' && c != '1')
                return NOT_BIT_MAP;
        if (c == '\r')
            c = nextbyte(r);
        if (c != '\n')
            return NOT_BIT_MAP;
        c = nextbyte(r);
    }
    while (iswhite(c))
        c = nextbyte(r);
    return c == EOF ? lines : NOT_BIT_MAP;
}

// Opens the word list and decides on what the open reached. A bit map given as the word list
// (the arguments swapped) would read as words of digits 0 and 1 and convert into another: a file
// is read ahead to tell, before the bit map is touched, then read again from its start. A pipe
// or a device is not read ahead: its writer may wait for the bit map.
static void openinfile(const argchar *infilename, struct reader *infile, struct place *in)
{
    infile->fd = openlist(infilename);
    if (infile->fd < 0 || !identify(infile->fd, infilename, in))
        fail("open 1", errno);
    if (in->kind == DIRECTORY)
        fail("open 1", EISDIR);
    if (in->kind == DEVICE_NAME)
        refuse("open 1", "name is reserved for a device");
    if (in->kind == OTHER)
        refuse("open 1", "not a file, a device or a pipe");
    if (in->kind != REGULAR)
        return;
    int lines = bitlines(infile);
    if (infile->error != 0)
        failscan(EOF, infile->error);
    if (lines > 0)
        refuse("open 1", "word list is a bit map");
    if (lseek(infile->fd, 0, SEEK_SET) != 0)
        fail("open 1", errno);
    infile->size = infile->next = 0;
    infile->ended = false;
}

// One pipe or FIFO as both would hang the run, which holds its writing end, or feed it its own
// bit lines as words; one regular file would be emptied before it is read.
static bool samefile(const struct place *a, const struct place *b)
{
    return (a->kind == REGULAR || a->kind == PIPE) && a->kind == b->kind &&
           a->volume == b->volume && a->index == b->index;
}

// Opens the bit map once, and decides on what that open reached. A file is locked from then
// until the run ends, as two runs into one bit map would mix their lines; it is read through
// the same open to tell whether it is a bit map (most often an existing file that isn't is the
// word list, the arguments swapped), and only then emptied.
static int openoutfile(const argchar *outfilename, const struct place *in)
{
    int fd = openmap(outfilename);
    struct place out;
    if (fd < 0 || !identify(fd, outfilename, &out))
        fail("open 2", errno);
    if (out.kind == DEVICE_NAME)
        refuse("open 2", "name is reserved for a device");
    if (out.kind == DISK)
        refuse("open 2", "bit map is a disk or volume");
    if (out.kind == OTHER)
        refuse("open 2", "not a file, a device or a pipe");
    if (samefile(&out, in))
        refuse("open 2", "word list and bit map are the same file");
    if (out.kind != REGULAR)
        return fd;
    if (!lockmap(fd))
        refuse("open 2", "bit map is in use by another run");
    static struct reader old;
    old.fd = fd;
    int lines = bitlines(&old);
    if (old.error != 0)
        fail("open 2", old.error);
    if (lines == NOT_BIT_MAP)
        refuse("open 2", "existing file is not a bit map");
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0)
        fail("open 2", errno);
    return fd;
}

// The echo line "%08x\n" and the bit line of a word, formatted a hexadecimal digit at a time:
// printf's machinery would cost more than all the rest of the conversion.
static void format(uint32_t data, char echo[9], char line[33])
{
    static const char bits[] = "0000" "0001" "0010" "0011" "0100" "0101" "0110" "0111"
                               "1000" "1001" "1010" "1011" "1100" "1101" "1110" "1111";
    for (int j = 28; j >= 0; j -= 4) {
        uint32_t digit = data >> j & 15;
        echo[(28 - j) / 4] = "0123456789abcdef"[digit];
        memcpy(line + 28 - j, bits + 4 * digit, 4);
    }
    echo[8] = '\n';
    line[32] = '\n';
}

// A write may take part of what it is given; one that takes nothing is a full disk.
static void writemap(int outfile, const char *lines, int size)
{
    for (int done = 0, n; done < size; done += n)
        if ((n = write(outfile, lines + done, size - done)) <= 0)
            fail("write 2", n == 0 ? ENOSPC : errno);
}

int main(int argc, argchar *argv[])
{
    startup();
    if (argc != 3)
        usage(argv[0]);

    const argchar *infilename = argv[1];
    static struct reader infile;
    struct place in;
    openinfile(infilename, &infile, &in);

    const argchar *outfilename = argv[2];
    int outfile = openoutfile(outfilename, &in);

    // The bit lines wait here, to reach the bit map in one write when the run ends, after the
    // echo line of every word and before any report.
    static char bitmap[32 * 33];
    uint32_t data;
    int i, status = 1;
    for (i = 0; i < 32 && infile.error == 0; i++) {
        status = readword(&infile, &data);
        if (status != 1)
            break;
        char echo[9];
        format(data, echo, bitmap + 33 * i);
        // The echo is for a person watching: if its reader has gone, the run goes on.
        if (write(2, echo, sizeof echo) < 0)
            continue;
    }

    writemap(outfile, bitmap, 33 * i);
    // A word glued to other text converts, and then fails the run as a word that can't.
    if (infile.error != 0)
        failscan(status == EOF ? EOF : 0, infile.error);
    // Some file systems tell of a failed write only when the file is closed.
    if (close(outfile) != 0)
        fail("write 2", errno);
    exit(0);
}
