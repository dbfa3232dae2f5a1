#include "core/AtomicFile.h"

#include "core/Failure.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// A mark in the new file's name that no one would give a file of their own, so that the
// sweep of leftovers can never take one of the user's files ("Wrenfield.ini.backup").
const QString kMarker = QStringLiteral(".pingora-new-");
constexpr int kRandomLetters = 6;

[[noreturn]] void failWith(int error)
{
    throw Failure(qt_error_string(error));
}

// The file a link leads to, so that a settings file kept elsewhere through a link stays
// there and the link stays a link.
QString followLinks(const QString& path)
{
    constexpr int kMostLinks = 40; // as the kernel's own limit
    QFileInfo file(path);
    for (int i = 0; i < kMostLinks; ++i) {
        if (!file.isSymLink())
            return file.filePath();
        file.setFile(file.symLinkTarget());
    }
    failWith(ELOOP);
}

QString randomLetters()
{
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
    QString letters;
    for (int i = 0; i < kRandomLetters; ++i)
        letters += kLetters[QRandomGenerator::global()->bounded(int(kLetters.size()))];
    return letters;
}

// The new file beside the target; removed again unless it has taken the target's place.
class NewFile
{
  public:
    NewFile(const QString& target, mode_t mode)
    {
        for (int tries = 0; m_fd < 0 && tries < 100; ++tries) {
            m_name = QFile::encodeName(target + kMarker + randomLetters());
            m_fd = ::open(m_name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (m_fd < 0 && errno != EEXIST)
                failWith(errno);
        }
        if (m_fd < 0)
            failWith(EEXIST);
    }
    ~NewFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_placed)
            ::unlink(m_name.constData());
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    void setMode(mode_t mode)
    {
        if (::fchmod(m_fd, mode) != 0)
            failWith(errno);
    }

    // Unbuffered, to the last byte: a buffered write would only fail at a flush that a
    // caller may not check (QSaveFile::commit() in Qt 6.4 reports success after its flush
    // failed on a full disk, and puts the empty file in place).
    void write(const QByteArray& bytes)
    {
        const char* next = bytes.constData();
        size_t left = size_t(bytes.size());
        while (left > 0) {
            const ssize_t written = ::write(m_fd, next, left);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                failWith(written < 0 ? errno : ENOSPC);
            next += written;
            left -= size_t(written);
        }
    }

    // Synced and closed before it is put in place: some file systems report a lack of space
    // only then.
    void finish()
    {
        if (::fsync(m_fd) != 0)
            failWith(errno);
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0)
            failWith(errno);
    }

    void putInPlaceOf(const QString& target)
    {
        if (::rename(m_name.constData(), QFile::encodeName(target).constData()) != 0)
            failWith(errno);
        m_placed = true;
    }

  private:
    QByteArray m_name;
    int m_fd = -1;
    bool m_placed = false;
};

} // namespace

namespace AtomicFile {

void replace(const QString& path, const QByteArray& bytes)
{
    const QString target = followLinks(path);
    struct stat old
    {
    };
    const bool exists = ::stat(QFile::encodeName(target).constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        failWith(errno);
    if (exists && S_ISDIR(old.st_mode))
        throw Failure(QStringLiteral("it is a folder"));
    if (exists && !S_ISREG(old.st_mode))
        throw Failure(QStringLiteral("it is not a regular file"));

    // A new file gets the permissions the user's umask gives; a replaced one keeps its own.
    NewFile file(target, exists ? S_IRUSR | S_IWUSR : 0666);
    if (exists)
        file.setMode((old.st_mode & 0777) | S_IRUSR | S_IWUSR);
    file.write(bytes);
    file.finish();
    file.putInPlaceOf(target);
}

void removeStaleTemporaries(const QString& path)
{
    QFileInfo target;
    try {
        target.setFile(followLinks(path));
    } catch (const Failure&) {
        return; // a loop of links: nothing was ever written beside it
    }
    // Plain string tests, not a regular expression: this runs at every start, and the
    // expression engine would cost the window its memory pages for nothing else.
    const QString prefix = target.fileName() + kMarker;
    const auto isLeftover = [&](const QString& name) {
        return name.size() == prefix.size() + kRandomLetters && name.startsWith(prefix) &&
               std::all_of(name.cbegin() + prefix.size(), name.cend(),
                           [](QChar c) { return c.unicode() < 128 && c.isLetterOrNumber(); });
    };
    // One older than a minute belongs to no replacement that is still going on.
    const QDateTime aMinuteAgo = QDateTime::currentDateTime().addSecs(-60);
    const QDir folder = target.dir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        if (!isLeftover(name))
            continue;
        const QFileInfo file(folder.filePath(name));
        if (file.lastModified() < aMinuteAgo)
            QFile::remove(file.filePath());
    }
}

} // namespace AtomicFile
