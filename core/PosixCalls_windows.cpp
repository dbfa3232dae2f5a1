#include "core/PosixCalls_windows.h"

#include <string>
#include <windows.h>

namespace {

std::wstring wide(const char* name)
{
    // Names come from QFile::encodeName(), which on Windows is the ANSI code page.
    const int size = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    std::wstring text(size_t(size > 0 ? size : 1), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, name, -1, text.data(), size);
    return text;
}

} // namespace

// The lock covers the file's largest possible range, so that it holds whatever the file grows
// to; it is released with the handle when the file is closed.
int flock(int fd, int operation)
{
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (file == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED whole{};
    if (operation & LOCK_UN)
        return UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole) ? 0 : (errno = EINVAL, -1);
    DWORD flags = 0;
    if (operation & LOCK_EX)
        flags |= LOCKFILE_EXCLUSIVE_LOCK;
    if (operation & LOCK_NB)
        flags |= LOCKFILE_FAIL_IMMEDIATELY;
    if (LockFileEx(file, flags, 0, MAXDWORD, MAXDWORD, &whole))
        return 0;
    errno = GetLastError() == ERROR_LOCK_VIOLATION ? EWOULDBLOCK : EINVAL;
    return -1;
}

// Reached through the linker option "--wrap=rename" (see PosixCalls_windows.h); written
// through before it returns, as the rooms sync a file before they put it in place.
extern "C" int __wrap_rename(const char* from, const char* to)
{
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_DISK_FULL:
        errno = ENOSPC;
        break;
    default:
        errno = EIO;
    }
    return -1;
}
