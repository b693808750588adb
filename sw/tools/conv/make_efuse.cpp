// make_efuse: turns a word list of hexadecimal fuse words into a bit map,
// one line of 32 digits 0 and 1 per word, bit 31 first, at most 32 words.
// What it writes gets burnt into one-time-programmable fuses, so any doubt
// about a word stops the run with status 1 rather than write a guess.
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

static FILE *infile;
static FILE *outfile;

static unsigned hexvalue(int c)
{
    return isdigit(c) ? c - '0' : tolower(c) - 'a' + 10;
}

// Reads one word as a "%x\n" scan would (white space, optional sign, optional
// 0x or 0X, hexadecimal digits, white space) but refuses what such a scan
// would cut short or read as garbage. Returns 1 with the word in data; 0 with
// errno EINVAL (not a number) or ERANGE (doesn't fit in 32 bits); EOF at the
// end of the list, or on a read error, which ferror(infile) then tells.
static int readword(uint32_t *data)
{
    int c;
    do
        c = getc(infile);
    while (isspace(c));
    if (c == EOF)
        return EOF;

    bool negative = c == '-';
    if (c == '-' || c == '+')
        c = getc(infile);
    int digits = 0;
    if (c == '0') {
        c = getc(infile);
        if (c == 'x' || c == 'X')
            c = getc(infile);  // a prefix: a digit must follow it
        else
            digits = 1;
    }
    // Leading zeros keep value at 0, so only significant digits can overflow.
    uint32_t value = 0;
    for (; isxdigit(c); c = getc(infile), digits++) {
        if (value > 0x0fffffff) {
            errno = ERANGE;
            return 0;
        }
        value = value << 4 | hexvalue(c);
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

    while (isspace(c))
        c = getc(infile);
    if (ferror(infile))
        return EOF;
    ungetc(c, infile);
    *data = value;
    return 1;
}

int main(int argc, char *argv[])
{
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

        fprintf(stderr, "%08" PRIx32 "\n", data);
        char line[34];
        for (int j = 31; j >= 0; j--)
            line[31 - j] = '0' + (data >> j & 1);
        line[32] = '\n';
        line[33] = '\0';
        if (fputs(line, outfile) == EOF) {
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
