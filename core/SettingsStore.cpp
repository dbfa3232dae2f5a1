#include "core/SettingsStore.h"

#include "core/AtomicFile.h"
#include "core/Failure.h"
#include "core/ProductInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Far larger than any settings file; a larger file is not read into memory.
constexpr qint64 kLargestSettingsFile = 1 << 20;

// Values are one line each: backslash, line feed and carriage return are escaped.
QString escapeValue(const QString& value)
{
    QString escaped;
    escaped.reserve(value.size());
    for (QChar c : value) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}

QString unescapeValue(const QString& stored)
{
    QString value;
    value.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar c = stored[i];
        const QChar next = i + 1 < stored.size() ? stored[i + 1] : QChar();
        if (c == u'\\' && (next == u'\\' || next == u'n' || next == u'r')) {
            value += next == u'n' ? QChar(u'\n') : next == u'r' ? QChar(u'\r') : QChar(u'\\');
            ++i;
        } else {
            value += c;
        }
    }
    return value;
}

bool isSectionHeader(const QString& line)
{
    return line.startsWith(u'[') && line.endsWith(u']');
}

QString sectionName(const QString& line)
{
    return line.mid(1, line.size() - 2).trimmed();
}

QString keyOf(const QString& line)
{
    return line.section(u'=', 0, 0).trimmed();
}

// The file's lines as they stand in it, bytes and all, and as text (a final CR left out) to
// find sections and keys in.
struct FileLines
{
    QByteArrayList raw;
    QStringList text;
    bool lastLineEnded = true; // false when the file ends without a line feed
};

// Lines of the file; an absent file has none. Throws when the file exists but cannot be read,
// so that a write never replaces contents it could not see.
FileLines readLines(const QString& filePath, bool* exists)
{
    const auto cannotRead = [&](const QString& why) {
        return Failure(
            QStringLiteral("The settings file %1 cannot be read: %2").arg(filePath, why));
    };
    // Without blocking (a FIFO would wait for a writer), and only a regular file of a size a
    // settings file can have.
    const int fd = ::open(QFile::encodeName(filePath).constData(),
                          O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    *exists = fd >= 0 || errno != ENOENT;
    if (!*exists)
        return {};
    if (fd < 0)
        throw cannotRead(qt_error_string(errno));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw cannotRead(file.errorString());
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0)
        throw cannotRead(qt_error_string(errno));
    if (S_ISDIR(info.st_mode))
        throw cannotRead(QStringLiteral("it is a folder"));
    if (!S_ISREG(info.st_mode))
        throw cannotRead(QStringLiteral("%1 is not a regular file").arg(filePath));
    if (info.st_size > kLargestSettingsFile)
        throw cannotRead(QStringLiteral("it is too large for a settings file"));
    FileLines lines;
    // Read as large as the file is: a read of the largest size allowed would take that much
    // memory for a file of a few lines.
    lines.raw = file.read(info.st_size).split('\n');
    lines.lastLineEnded = lines.raw.last().isEmpty();
    if (lines.lastLineEnded)
        lines.raw.removeLast();
    for (const QByteArray& raw : std::as_const(lines.raw))
        lines.text << QString::fromUtf8(raw.endsWith('\r') ? raw.chopped(1) : raw);
    return lines;
}

// Held from the read of the file to its replacement, so that two running copies changing
// different keys lose neither. An advisory lock on the folder: it leaves no file behind.
class FolderLock
{
  public:
    explicit FolderLock(const QString& folder)
        : m_fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        // A bounded wait: a copy that holds the lock for long has hung, and the write is
        // reported rather than waited for without end.
        constexpr int kTries = 200;
        constexpr int kPauseMs = 10;
        for (int i = 0; m_fd >= 0 && i < kTries; ++i) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
                return;
            if (errno != EWOULDBLOCK && errno != EINTR)
                break;
            ::usleep(kPauseMs * 1000);
        }
        if (m_fd < 0)
            throw Failure(QStringLiteral("The settings folder %1 cannot be opened: %2")
                              .arg(folder, qt_error_string(errno)));
        ::close(m_fd);
        throw Failure(QStringLiteral("The settings folder %1 is busy: another copy of the "
                                     "program is writing its settings.")
                          .arg(folder));
    }
    ~FolderLock() { ::close(m_fd); } // closing releases the lock
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int m_fd;
};

} // namespace

SettingsStore::SettingsStore(QString filePath, QString section)
    : m_filePath(std::move(filePath)), m_section(std::move(section))
{
}

SettingsStore SettingsStore::forUser()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    SettingsStore store(folder + u'/' + ProductInfo::kSettingsApplication + QStringLiteral(".ini"),
                        ProductInfo::kProductName);
    store.removeStaleTemporaryFiles();
    return store;
}

void SettingsStore::removeStaleTemporaryFiles() const
{
    // A copy ended in the middle of a write leaves its new file behind.
    AtomicFile::removeStaleTemporaries(m_filePath);
}

QString SettingsStore::read(const QString& key, const QString& defaultValue) const
{
    bool exists = false;
    QStringList lines;
    try {
        lines = readLines(m_filePath, &exists).text;
    } catch (const Failure&) {
        return defaultValue; // an unreadable store reads as an empty one
    }
    // The first of our sections counts, as for a write; a later one of the same name (a
    // hand-edited file) is passed over.
    bool inSection = false;
    bool sectionSeen = false;
    std::optional<QString> found;
    for (const QString& line : std::as_const(lines)) {
        if (isSectionHeader(line)) {
            inSection = !sectionSeen && sectionName(line) == m_section;
            sectionSeen = sectionSeen || inSection;
        } else if (inSection && line.contains(u'=') && keyOf(line) == key)
            found = unescapeValue(line.section(u'=', 1));
    }
    return found.value_or(defaultValue);
}

void SettingsStore::write(const QString& key, const QString& value)
{
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder))
        throw Failure(QStringLiteral("The settings folder %1 cannot be created.").arg(folder));
    const FolderLock lock(folder);
    bool exists = false;
    FileLines file = readLines(m_filePath, &exists);
    QStringList& lines = file.text;
    QByteArrayList& raw = file.raw;
    const QString entry = key + u'=' + escapeValue(value);

    qsizetype sectionStart = -1; // index of the header line
    qsizetype sectionEnd = -1;   // index after the section's last non-empty line
    qsizetype keyLine = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (isSectionHeader(line)) {
            if (sectionStart >= 0 && sectionEnd < 0)
                sectionEnd = i;
            if (sectionName(line) == m_section && sectionStart < 0)
                sectionStart = i;
        } else if (sectionStart >= 0 && sectionEnd < 0 && line.contains(u'=') &&
                   keyOf(line) == key) {
            keyLine = i;
        }
    }
    if (keyLine >= 0 && lines[keyLine] == entry)
        return; // stored already: writing it again would only cost a flush to the disk
    // Only the one line changes; every other line is written back byte for byte. Lines
    // added end as the file's first line does (CR LF in a file made on Windows), and a last
    // line that had no end gets that one.
    const QByteArray cr = !raw.isEmpty() && raw.first().endsWith('\r') ? "\r" : "";
    if (!file.lastLineEnded && !raw.last().endsWith('\r'))
        raw.last() += cr;
    const QByteArray entryBytes = entry.toUtf8();
    if (keyLine >= 0) {
        raw[keyLine] = raw[keyLine].endsWith('\r') ? entryBytes + '\r' : entryBytes;
    } else if (sectionStart >= 0) {
        qsizetype insertAt = sectionEnd < 0 ? lines.size() : sectionEnd;
        while (insertAt > sectionStart + 1 && lines[insertAt - 1].trimmed().isEmpty())
            --insertAt;
        raw.insert(insertAt, entryBytes + cr);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            raw << cr;
        raw << (u'[' + m_section + u']').toUtf8() + cr << entryBytes + cr;
    }

    // A file the reads would refuse as too large would lose every setting from then on.
    const QByteArray contents = raw.join('\n') + '\n';
    if (contents.size() > kLargestSettingsFile)
        throw Failure(QStringLiteral("The settings file %1 cannot be written: it would be too "
                                     "large for a settings file")
                          .arg(m_filePath));
    try {
        AtomicFile::replace(m_filePath, contents);
    } catch (const Failure& failure) {
        throw Failure(QStringLiteral("The settings file %1 cannot be written: %2")
                          .arg(m_filePath, failure.description()));
    }
}
