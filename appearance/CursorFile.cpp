#include "appearance/CursorFile.h"

#include "appearance/CursorFormat.h"
#include "appearance/CursorImages.h"
#include "core/Failure.h"
#include "core/SystemFileName.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QScopeGuard>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace CursorFormat;

namespace {

/// The size the platform draws pointers at; of several images the nearest one is taken.
constexpr int kPreferredSide = 32;

[[noreturn]] void fail(const QString& reason)
{
    throw Failure(reason);
}

int side(quint8 stored)
{
    return stored == 0 ? 256 : stored;
}

/// The entry whose image is nearest to the pointer size.
Entry chooseEntry(QByteArrayView bytes, int count)
{
    std::optional<Entry> best;
    for (int i = 0; i < count; ++i) {
        const std::optional<Entry> entry = readEntry(bytes, i);
        if (!entry)
            fail(QStringLiteral("it is truncated in its image table"));
        if (!best || std::abs(side(entry->width) - kPreferredSide) <
                         std::abs(side(best->width) - kPreferredSide))
            best = entry;
    }
    return *best;
}

/// The contents of a regular file of at most kMaxCursorFileBytes, read without ever blocking.
QByteArray readRegularFile(const QString& path)
{
    const QByteArray name = SystemFileName(path);
    // Open only what stat says is a regular file: opening a pipe waits for a writer.
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0)
        fail(qt_error_string(errno));
    if (S_ISDIR(info.st_mode))
        fail(QStringLiteral("it is a folder"));
    if (!S_ISREG(info.st_mode))
        fail(QStringLiteral("it is not a regular file"));
    if (info.st_size > kMaxCursorFileBytes)
        fail(QStringLiteral("it is larger than %1 bytes").arg(kMaxCursorFileBytes));

    // O_NONBLOCK in case the path was replaced by a pipe since the stat above.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        fail(qt_error_string(errno));
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        fail(QStringLiteral("it is not a regular file"));

    QByteArray contents;
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(qt_error_string(errno));
        if (got == 0)
            break;
        // The file may have grown since stat.
        if (contents.size() + got > kMaxCursorFileBytes)
            fail(QStringLiteral("it is larger than %1 bytes").arg(kMaxCursorFileBytes));
        contents.append(chunk, got);
    }
    if (contents.isEmpty())
        fail(QStringLiteral("it is empty"));
    return contents;
}

} // namespace

CursorImage decodeCursorFile(QByteArrayView bytes)
{
    const std::optional<Directory> directory = readDirectory(bytes);
    if (!directory)
        fail(QStringLiteral("it is too short to be a cursor file"));
    if (directory->reserved != 0 ||
        (directory->type != kTypeCursor && directory->type != kTypeIcon))
        fail(QStringLiteral("it is not a cursor file"));
    if (directory->type == kTypeIcon)
        fail(QStringLiteral("it is an icon file, which has no hot spot, not a cursor file"));
    if (directory->count == 0)
        fail(QStringLiteral("it holds no image"));

    const Entry entry = chooseEntry(bytes, directory->count);
    const qint64 tableEnd = kDirectorySize + qint64(directory->count) * kEntrySize;
    if (entry.offset < tableEnd)
        fail(QStringLiteral("its image would overlap its image table"));
    if (qint64(entry.offset) > bytes.size() ||
        qint64(entry.byteCount) > bytes.size() - entry.offset)
        fail(QStringLiteral("it is truncated: its image reaches beyond the end of the file"));

    const QByteArrayView image = bytes.sliced(entry.offset, entry.byteCount);
    CursorImage cursor;
    cursor.image = isPngImage(image) ? decodePngImage(image) : decodeBitmapImage(image);
    if (entry.hotX >= cursor.image.width() || entry.hotY >= cursor.image.height())
        fail(QStringLiteral("its hot spot (%1, %2) lies outside its image")
                 .arg(entry.hotX)
                 .arg(entry.hotY));
    cursor.hotSpot = QPoint(entry.hotX, entry.hotY);
    return cursor;
}

QCursor readCursorFile(const QString& path)
{
    try {
        const CursorImage cursor = decodeCursorFile(readRegularFile(path));
        return QCursor(QPixmap::fromImage(cursor.image), cursor.hotSpot.x(), cursor.hotSpot.y());
    } catch (const Failure& failure) {
        throw Failure(QStringLiteral("Cannot use the cursor file %1: %2")
                          .arg(QDir::toNativeSeparators(path), failure.description()));
    }
}
