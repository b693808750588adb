// make_efuse: turns a word list of hexadecimal fuse words into a bit map,
// one line of 32 digits 0 and 1 per word, bit 31 first, at most 32 words.
// What it writes gets burnt into one-time-programmable fuses, so any doubt
// about a word stops the run with status 1 rather than write a guess.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

static FILE *infile;
static FILE *outfile;

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

// One thread reads the word list, so characters are taken without locking the stream.
static int next()
{
    return getc_unlocked(infile);
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
        c = next();
    while (iswhite(c));
    if (c == EOF)
        return EOF;

    bool negative = c == '-';
    if (c == '-' || c == '+')
        c = next();
    int digits = 0;
    if (c == '0') {
        c = next();
        if (c == 'x' || c == 'X')
            c = next();  // a prefix: a digit must follow it
        else
            digits = 1;
    }
    // Leading zeros keep value at 0, so only significant digits can overflow.
    uint32_t value = 0;
    for (int digit; (digit = hexdigit(c)) >= 0; c = next(), digits++) {
        if (value > 0x0fffffff) {
            errno = ERANGE;
            return 0;
        }
        value = value << 4 | digit;
    }
    if (ferror(infile))
        return EOF;
    if (digits == 0) {
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

int main(int argc, char *argv[])
{
    // Buffered, the echo lines and any report reach standard error at exit in one write
    // rather than one write each.
    static char errbuf[BUFSIZ];
    setvbuf(stderr, errbuf, _IOFBF, sizeof errbuf);

    if (argc != 3) {
        // Some systems can start a program with no arguments at all, not even its name.
        fprintf(stderr, "usage: %s infile outfile\n", argc > 0 ? argv[0] : "make_efuse");
        exit(1);
    }

    const char *infilename = argv[1];
    infile = fopen(infilename, "r");
    if (infile == NULL) {
        perror("open 1");
        exit(1);
    }

    // Opening the bit map truncates it: were it the word list's own file,
    // the list would be lost before it was read. Devices such as a terminal
    // lose nothing, so only a regular file is refused.
    const char *outfilename = argv[2];
    struct stat instat, outstat;
    if (fstat(fileno(infile), &instat) == 0 && S_ISREG(instat.st_mode) &&
        stat(outfilename, &outstat) == 0 && instat.st_dev == outstat.st_dev &&
        instat.st_ino == outstat.st_ino) {
        fputs("open 2: word list and bit map are the same file\n", stderr);
        exit(1);
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

        // The echo line "%08x\n", formatted here: printf's machinery would cost more
        // than all the rest of the conversion. j is the lowest bit of each digit.
        char echo[9];
        for (int j = 28; j >= 0; j -= 4)
            echo[(28 - j) / 4] = "0123456789abcdef"[data >> j & 15];
        echo[8] = '\n';
        fwrite(echo, 1, sizeof echo, stderr);

        // Unrolled, the loop over all the bits of a run costs a third as much.
        char line[33];
#pragma GCC unroll 32
        for (int j = 31; j >= 0; j--)
            line[31 - j] = '0' + (data >> j & 1);
        line[32] = '\n';
        if (fwrite(line, 1, sizeof line, outfile) != sizeof line) {
            perror("write 2");
            exit(1);
        }
    }

    // Exit would flush the bit map too, but without telling whether it worked.
    if (fclose(outfile) != 0) {
        perror("write 2");
        exit(1);
    }
    exit(0);
}
