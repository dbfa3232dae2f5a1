#pragma once

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <memory>

/// Which file a path led to, and in which state: the same identity means the same content, as
/// far as the file system tells (a rewrite within its time stamps' resolution passes unseen).
struct FileIdentity
{
    quint64 volume = 0;
    quint64 file = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    bool operator==(const FileIdentity&) const = default;
};

/// A plain file opened for reading by the sound decoders, which read it only through this
/// object, so that the file checked is the file decoded. Opening never waits: special files
/// (FIFOs, pipes, devices, folders) are refused without being waited on.
class RegularFile
{
  public:
    /// Opens \a path; null with \a whyNot set if it cannot be opened or is not a plain file.
    static std::unique_ptr<RegularFile> open(const QString& path, QString* whyNot);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    /// The file as it was when opened.
    const FileIdentity& identity() const { return m_identity; }
    /// Reads up to \a bytes into \a data; returns how many it read, 0 at the end, -1 on error.
    qint64 read(void* data, qint64 bytes);
    /// Moves the read position as fseek() does (SEEK_SET, SEEK_CUR, SEEK_END); returns the new
    /// position, or -1 if it cannot.
    qint64 seek(qint64 offset, int whence);
    qint64 position() { return seek(0, SEEK_CUR); }
    /// The file's length now; -1 if unknown.
    qint64 size();

  private:
    RegularFile(std::intptr_t handle, const FileIdentity& identity)
        : m_handle(handle), m_identity(identity)
    {
    }

    std::intptr_t m_handle; // a descriptor, or a Windows file handle
    FileIdentity m_identity;
};
