#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

/// A file system of 64 KiB of its own (tmpfs) in a temporary folder, for as long as the object
/// lives, to see what a write does on a full disk. Mounting needs root; a test skips when
/// isMounted() is false and says why with error().
class SmallDisk
{
  public:
    SmallDisk()
    {
        if (::mount("tmpfs", QFile::encodeName(path()).constData(), "tmpfs", 0, "size=64k") == 0)
            m_mounted = true;
        else
            m_error = qt_error_string(errno);
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isMounted() const { return m_mounted; }
    QString error() const { return m_error; }
    QString path() const { return m_folder.path(); }

    QString filePath(const QString& name) const { return m_folder.filePath(name); }
    /// The file that fill() makes; removing it gives the room back.
    QString fillerPath() const { return filePath(QStringLiteral("filler")); }

    /// Fills the disk to its last byte with the file fillerPath(); true once the disk said it
    /// is full.
    bool fill() const
    {
        const QByteArray filler = QFile::encodeName(fillerPath());
        const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            qFatal("cannot make %s", filler.constData());
        const QByteArray block(4096, 'x');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        ssize_t result = 0;
        while ((result = ::write(fd, "x", 1)) > 0) {
        }
        const bool full = result < 0 && errno == ENOSPC;
        ::close(fd);
        return full;
    }

  private:
    QTemporaryDir m_folder;
    bool m_mounted = false;
    QString m_error;
};
