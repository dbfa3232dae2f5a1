#pragma once

// The few POSIX file calls that the rooms use to open files without blocking and to replace
// files whole, as MinGW-w64's C runtime offers them on Windows. The Windows build includes this
// header before every source file, so the rooms keep one spelling for both platforms. The rooms
// name files in UTF-8 (SystemFileName); the linker sends open(), stat(), unlink() and rename()
// to the replacements in PosixCalls_windows.cpp, which call the C runtime's UTF-16 ones.

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// Every open() in the rooms asks for O_CLOEXEC: on Windows that is a handle that child
// processes do not inherit, and the file is opened in binary mode, since the C runtime's
// default text mode would turn "\n" into "\r\n" on write and stop reading at a Ctrl+Z.
#ifndef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#endif
// Opening a file never waits for a terminal or a writer on Windows, and the C runtime cannot
// open a link itself rather than its target.
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif

// Windows keeps a file's permissions in its folder's access list, which a new file inherits.
inline int fchmod(int, mode_t)
{
    return 0;
}

// Writes the file's buffers through to the disk.
inline int fsync(int fd)
{
    return _commit(fd);
}

// The rooms ask lstat() only whether a path names a folder; Windows links are followed.
inline int lstat(const char* path, struct stat* info)
{
    return stat(path, info);
}

// An advisory lock on a whole open file, as BSD flock() gives on Linux: the history log is held
// by one copy of the program from before a line is written until after any take-back.
#ifndef LOCK_EX
#define LOCK_SH 1
#define LOCK_EX 2
#define LOCK_NB 4
#define LOCK_UN 8
#endif
int flock(int fd, int operation);

// rename() of the C runtime refuses an existing target. The Windows build links every program
// with "--wrap=rename", which sends the rooms' calls to __wrap_rename() (PosixCalls_windows.cpp):
// that one replaces the target in one step, as POSIX rename() does.
