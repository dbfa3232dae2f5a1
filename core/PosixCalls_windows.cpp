#include "core/PosixCalls_windows.h"

#include <cstdarg>
#include <string>
#include <windows.h>

namespace {

std::wstring wide(const char* name)
{
    // Names come from SystemFileName(), in UTF-8.
    const int size = MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
    std::wstring text(size_t(size > 0 ? size : 1), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, name, -1, text.data(), size);
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

// The calls below are reached through "--wrap=open", "--wrap=stat" and "--wrap=unlink", as
// rename() is: the C runtime's own ones read a name in the ANSI code page.
extern "C" int __wrap_open(const char* name, int flags, ...)
{
    int mode = 0;
    if (flags & _O_CREAT) {
        va_list rest;
        va_start(rest, flags);
        mode = va_arg(rest, int);
        va_end(rest);
    }
    return _wopen(wide(name).c_str(), flags, mode);
}

extern "C" int __wrap_stat(const char* name, struct stat* info)
{
    struct _stat64 status
    {
    };
    if (_wstat64(wide(name).c_str(), &status) != 0)
        return -1;
    *info = {};
    info->st_dev = status.st_dev;
    info->st_ino = status.st_ino;
    info->st_mode = status.st_mode;
    info->st_nlink = status.st_nlink;
    info->st_uid = status.st_uid;
    info->st_gid = status.st_gid;
    info->st_rdev = status.st_rdev;
    info->st_size = _off_t(status.st_size);
    info->st_atime = status.st_atime;
    info->st_mtime = status.st_mtime;
    info->st_ctime = status.st_ctime;
    return 0;
}

extern "C" int __wrap_unlink(const char* name)
{
    return _wunlink(wide(name).c_str());
}
