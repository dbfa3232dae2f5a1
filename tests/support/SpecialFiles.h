#pragma once

// What a file name may lead to besides a regular file, on each platform, and how many files
// the process holds open: for the tests that refuse such files without waiting or leaking.

#include <QDir>
#include <QFile>
#include <QString>
#include <cerrno>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

/// How many files the process holds open (handles of any kind on Windows).
inline int openFiles()
{
#ifdef _WIN32
    // GetProcessHandleCount answers 0 under Wine: each handle is asked for instead. A test's
    // handles are the first few thousand values (multiples of 4), the lowest free one first.
    int handles = 0;
    DWORD flags = 0;
    for (quintptr value = 4; value < 0x2000; value += 4)
        handles += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    return handles;
#else
    return int(QDir(QStringLiteral("/proc/self/fd")).count());
#endif
}

/// A device that reads without end.
inline QString endlessDevice()
{
#ifdef _WIN32
    return QStringLiteral("NUL");
#else
    return QStringLiteral("/dev/zero");
#endif
}

/// A path that leads somewhere special for as long as this lives; on Windows it holds the
/// handle that keeps it so.
class HeldPath
{
  public:
    HeldPath(const HeldPath&) = delete;
    HeldPath& operator=(const HeldPath&) = delete;
    ~HeldPath()
    {
#ifdef _WIN32
        CloseHandle(m_handle);
#endif
    }
    QString path() const
    {
        return m_path;
    }

  protected:
    HeldPath() = default;
    QString m_path;
#ifdef _WIN32
    HANDLE m_handle = INVALID_HANDLE_VALUE;
#endif
};

/// A pipe that no one writes to: a FIFO named \a name in \a dir, or on Windows a named pipe
/// whose server never writes.
class IdlePipe : public HeldPath
{
  public:
    IdlePipe(const QDir& dir, const QString& name)
    {
#ifdef _WIN32
        Q_UNUSED(dir)
        m_path = QStringLiteral("\\\\.\\pipe\\pingora-%1-%2").arg(GetCurrentProcessId()).arg(name);
        m_handle = CreateNamedPipeW(reinterpret_cast<const wchar_t*>(m_path.utf16()),
                                    PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                    PIPE_UNLIMITED_INSTANCES, 0, 0, 0, nullptr);
        if (m_handle == INVALID_HANDLE_VALUE)
            qFatal("cannot make the pipe %s", qPrintable(m_path));
#else
        m_path = dir.filePath(name);
        if (!QFile::exists(m_path) && mkfifo(QFile::encodeName(m_path).constData(), 0600) != 0)
            qFatal("cannot make the FIFO %s", qPrintable(m_path));
#endif
    }
};

/// A file that is there but cannot be read: on Linux the process's own memory, which not even
/// root may read as a file; on Windows a file in \a dir held open with no sharing.
class UnreadableFile : public HeldPath
{
  public:
    explicit UnreadableFile(const QDir& dir)
    {
#ifdef _WIN32
        m_path = QDir::toNativeSeparators(dir.filePath(QStringLiteral("held.txt")));
        m_handle = CreateFileW(reinterpret_cast<const wchar_t*>(m_path.utf16()),
                               GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_handle == INVALID_HANDLE_VALUE)
            qFatal("cannot hold %s", qPrintable(m_path));
#else
        Q_UNUSED(dir)
        m_path = QStringLiteral("/proc/self/mem");
#endif
    }
};

/// What the system says of a file name that names nothing.
inline QString missingFileText()
{
#ifdef _WIN32
    return qt_error_string(ERROR_FILE_NOT_FOUND);
#else
    return qt_error_string(ENOENT);
#endif
}
