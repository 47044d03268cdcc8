#include "Win32/FileHandle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "Win32/Files.h"
#include "Win32/Sync.h"

namespace
{
DWORD ErrorFromErrno(int error)
{
    switch (error)
    {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

int OpenFlags(DWORD access, DWORD disposition)
{
    int flags = O_CLOEXEC;
    bool read = (access & GENERIC_READ) != 0;
    bool write = (access & GENERIC_WRITE) != 0;
    flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (disposition)
    {
    case CREATE_NEW:
        return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
        return flags | O_CREAT | O_TRUNC;
    case OPEN_EXISTING:
        return flags;
    case OPEN_ALWAYS:
        return flags | O_CREAT;
    case TRUNCATE_EXISTING:
        return flags | O_TRUNC;
    default:
        return -1;
    }
}

// Copies the path with slashes for backslashes into `out`, without allocating. False when the
// path does not fit or needs more than that (a GBK name must be converted to UTF-8).
bool PlainPath(const char* path, char* out, size_t size)
{
    size_t i = 0;
    for (; path[i] != '\0'; ++i)
    {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (i + 1 >= size || c >= 0x80)
            return false;
        out[i] = c == '\\' ? '/' : static_cast<char>(c);
    }
    out[i] = '\0';
    return true;
}
} // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD /*shareMode*/, LPSECURITY_ATTRIBUTES /*attributes*/,
                   DWORD disposition, DWORD /*flags*/, HANDLE /*templateFile*/)
{
    int flags = OpenFlags(access, disposition);
    if (path == nullptr || flags < 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The path as written first, without touching the heap; the case-insensitive lookup only
    // when that fails.
    char plain[4096];
    int fd = -1;
    if (PlainPath(path, plain, sizeof(plain)))
        fd = open(plain, flags, 0644);
    if (fd < 0)
    {
        std::string resolved = ResolveWin32Path(path);
        fd = open(resolved.c_str(), flags, 0644);
    }
    if (fd < 0)
    {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return Win32HandleFromFd(fd);
}

BOOL WriteFile(HANDLE file, const void* data, DWORD count, LPDWORD written, LPVOID /*overlapped*/)
{
    int fd = -1;
    if (!Win32FdFromHandle(file, &fd))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const char* bytes = static_cast<const char*>(data);
    DWORD done = 0;
    while (done < count)
    {
        ssize_t step = write(fd, bytes + done, count - done);
        if (step < 0)
        {
            if (errno == EINTR)
                continue;
            SetLastError(ErrorFromErrno(errno));
            if (written != nullptr)
                *written = done;
            return FALSE;
        }
        done += static_cast<DWORD>(step);
    }
    if (written != nullptr)
        *written = done;
    return TRUE;
}
