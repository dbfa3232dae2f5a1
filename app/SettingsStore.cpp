#include "app/SettingsStore.h"

#include "app/Failure.h"
#include "app/ProductInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <cerrno>
#include <fcntl.h>
#include <optional>
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

// Lines of the file; an absent file has none. Throws when the file exists but cannot be read,
// so that a write never replaces contents it could not see.
QStringList readLines(const QString& filePath, bool* exists)
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
    const QString text = QString::fromUtf8(file.read(kLargestSettingsFile));
    QStringList lines = text.split(u'\n');
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

SettingsStore::SettingsStore(QString filePath, QString section)
    : m_filePath(std::move(filePath)), m_section(std::move(section))
{
}

SettingsStore SettingsStore::forUser()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return SettingsStore(folder + u'/' + ProductInfo::kSettingsApplication + QStringLiteral(".ini"),
                         ProductInfo::kProductName);
}

QString SettingsStore::read(const QString& key, const QString& defaultValue) const
{
    bool exists = false;
    QStringList lines;
    try {
        lines = readLines(m_filePath, &exists);
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
    bool exists = false;
    QStringList lines = readLines(m_filePath, &exists);
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
    if (keyLine >= 0) {
        lines[keyLine] = entry;
    } else if (sectionStart >= 0) {
        qsizetype insertAt = sectionEnd < 0 ? lines.size() : sectionEnd;
        while (insertAt > sectionStart + 1 && lines[insertAt - 1].trimmed().isEmpty())
            --insertAt;
        lines.insert(insertAt, entry);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << u'[' + m_section + u']' << entry;
    }

    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder))
        throw Failure(QStringLiteral("The settings folder %1 cannot be created.").arg(folder));
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("The settings file %1 cannot be written: %2")
                          .arg(m_filePath, file.errorString()));
    const QByteArray bytes = (lines.join(u'\n') + u'\n').toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw Failure(QStringLiteral("The settings file %1 cannot be written: %2")
                          .arg(m_filePath, file.errorString()));
}
