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

/// A pipe that no one writes to, as long as this lives: a FIFO named \a name in \a dir, or on
/// Windows a named pipe whose server never writes.
class IdlePipe
{
  public:
    IdlePipe(const QDir& dir, const QString& name)
    {
#ifdef _WIN32
        Q_UNUSED(dir)
        m_path = QStringLiteral("\\\\.\\pipe\\pingora-%1-%2").arg(GetCurrentProcessId()).arg(name);
        m_server = CreateNamedPipeW(reinterpret_cast<const wchar_t*>(m_path.utf16()),
                                    PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                    PIPE_UNLIMITED_INSTANCES, 0, 0, 0, nullptr);
        if (m_server == INVALID_HANDLE_VALUE)
            qFatal("cannot make the pipe %s", qPrintable(m_path));
#else
        m_path = dir.filePath(name);
        if (!QFile::exists(m_path) && mkfifo(QFile::encodeName(m_path).constData(), 0600) != 0)
            qFatal("cannot make the FIFO %s", qPrintable(m_path));
#endif
    }
    ~IdlePipe()
    {
#ifdef _WIN32
        CloseHandle(m_server);
#endif
    }
    IdlePipe(const IdlePipe&) = delete;
    IdlePipe& operator=(const IdlePipe&) = delete;

    QString path() const
    {
        return m_path;
    }

  private:
    QString m_path;
#ifdef _WIN32
    HANDLE m_server = INVALID_HANDLE_VALUE;
#endif
};

/// A file that is there but cannot be read, as long as this lives: on Linux the process's own
/// memory, which not even root may read as a file; on Windows a file held open by this object
/// with no sharing.
class UnreadableFile
{
  public:
    explicit UnreadableFile(const QDir& dir)
    {
#ifdef _WIN32
        m_path = QDir::toNativeSeparators(dir.filePath(QStringLiteral("held.txt")));
        m_holder = CreateFileW(reinterpret_cast<const wchar_t*>(m_path.utf16()),
                               GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_holder == INVALID_HANDLE_VALUE)
            qFatal("cannot hold %s", qPrintable(m_path));
#else
        Q_UNUSED(dir)
        m_path = QStringLiteral("/proc/self/mem");
#endif
    }
    ~UnreadableFile()
    {
#ifdef _WIN32
        CloseHandle(m_holder);
#endif
    }
    UnreadableFile(const UnreadableFile&) = delete;
    UnreadableFile& operator=(const UnreadableFile&) = delete;

    QString path() const
    {
        return m_path;
    }

  private:
    QString m_path;
#ifdef _WIN32
    HANDLE m_holder = INVALID_HANDLE_VALUE;
#endif
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
