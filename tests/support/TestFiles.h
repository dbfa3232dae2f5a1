#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <ctime>
#ifdef _WIN32
#include <windows.h>
#endif

/// Writes \a content to the file at \a path and returns the path; the test cannot go on
/// without it, so a failure ends the test program.
inline QString writeTestFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        qFatal("cannot write the test file %s", qPrintable(path));
    return path;
}

/// Writes \a content to \a name in \a dir and returns the file's path.
inline QString writeTestFile(const QTemporaryDir& dir, const QString& name,
                             const QByteArray& content)
{
    return writeTestFile(dir.filePath(name), content);
}

/// The bytes of the file at \a path, or "(unreadable)", which no test expects.
inline QByteArray readTestFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

/// The CPU time this process has used so far, in seconds: a wait that spins shows up here.
inline double cpuSeconds()
{
#ifdef _WIN32
    // There std::clock() counts wall time since the start, not CPU time.
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto seconds = [](const FILETIME& t) {
        return double((quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    return double(std::clock()) / CLOCKS_PER_SEC;
#endif
}
