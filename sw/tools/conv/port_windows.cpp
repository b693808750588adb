// make_efuse on Windows, as a native console program.

#define WIN32_LEAN_AND_MEAN
#include "port.h"
#include <cerrno>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

// The C runtime starts standard error in text mode, which would end every message in CR LF.
// Descriptors 0 to 2 need nothing: it keeps them reserved even when the caller gave no handle.
void startup()
{
    _setmode(2, _O_BINARY);
}

// Binary, so that no Ctrl-Z ends a file early and no carriage return is added to a line end.
int openlist(const wchar_t *name)
{
    return _wopen(name, _O_RDONLY | _O_BINARY);
}

// Windows opens no console, and some other devices, for reading and writing: where that open
// fails, the second try reaches a device for writing only, or fails with the same error.
int openmap(const wchar_t *name)
{
    int fd = _wopen(name, _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    return fd >= 0 ? fd : _wopen(name, _O_WRONLY | _O_BINARY);
}

// Whether a path is in the device namespace (\\.\COM10, //./NUL, or NT's own \??\NUL) or
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

// Windows knows a file by its volume's serial number and its index there; it has no inodes. A
// pipe has no such identity, and is written as a device is.
bool identify(int fd, const wchar_t *name, struct place *p)
{
    HANDLE h = (HANDLE)_get_osfhandle(fd);
    BY_HANDLE_FILE_INFORMATION info;
    DWORD type = GetFileType(h);
    if (type == FILE_TYPE_CHAR)
        p->kind = devicename(name) ? DEVICE : DEVICE_NAME;
    else if (type == FILE_TYPE_PIPE)
        p->kind = DEVICE;
    else if (type != FILE_TYPE_DISK)
        p->kind = OTHER;
    else if (!GetFileInformationByHandle(h, &info)) {
        errno = EIO;
        return false;
    } else {
        p->kind = REGULAR;
        p->volume = info.dwVolumeSerialNumber;
        p->index = (unsigned long long)info.nFileIndexHigh << 32 | info.nFileIndexLow;
    }
    return true;
}

// Windows' locks keep every other handle from the bytes they cover: the byte locked lies past
// the end of any bit map, where another run's lock meets it. Wine maps it to a POSIX lock,
// so that runs of the Linux program see it too.
bool lockmap(int fd)
{
    OVERLAPPED at = {};
    at.Offset = 0xffffffff;
    at.OffsetHigh = 0x7fffffff;
    HANDLE h = (HANDLE)_get_osfhandle(fd);
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) ||
           GetLastError() != ERROR_LOCK_VIOLATION;
}
