#include "appearance/CursorFile.h"

#include "app/Failure.h"
#include "appearance/CursorFormat.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QScopeGuard>
#include <QtEndian>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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

bool isPng(QByteArrayView image)
{
    return image.size() >= kPngSignatureSize &&
           std::memcmp(image.data(), kPngSignature, kPngSignatureSize) == 0;
}

void checkSides(qint64 width, qint64 height)
{
    if (width < 1 || height < 1 || width > kMaxCursorSide || height > kMaxCursorSide)
        fail(QStringLiteral("its image has impossible dimensions (%1 by %2 pixels)")
                 .arg(width)
                 .arg(height));
}

quint32 crc32(QByteArrayView bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 crc = 0xffffffffu;
    for (char byte : bytes)
        crc = table[(crc ^ quint8(byte)) & 0xff] ^ (crc >> 8);
    return crc ^ 0xffffffffu;
}

/// Checks that the PNG stream is whole, chunk by chunk with its checksums, and returns the
/// image size its header gives. libpng is handed only streams that pass, so a damaged one is
/// refused here, before anything is allocated for it.
QSize checkPngChunks(QByteArrayView image)
{
    const auto damaged = [] { fail(QStringLiteral("its PNG image is damaged")); };
    QSize size;
    qsizetype at = kPngSignatureSize;
    for (;;) {
        if (image.size() - at < 12)
            damaged();
        const quint32 length = qFromBigEndian<quint32>(image.data() + at);
        if (length > quint64(image.size() - at - 12))
            damaged();
        const QByteArrayView type = image.sliced(at + 4, 4);
        const QByteArrayView data = image.sliced(at + 8, length);
        if (crc32(image.sliced(at + 4, 4 + length)) !=
            qFromBigEndian<quint32>(image.data() + at + 8 + length))
            damaged();
        if (at == kPngSignatureSize) {
            if (type != "IHDR" || length != 13)
                damaged();
            size = QSize(int(qMin(qFromBigEndian<quint32>(data.data()), 0x7fffffffu)),
                         int(qMin(qFromBigEndian<quint32>(data.data() + 4), 0x7fffffffu)));
        }
        if (type == "IEND")
            return size;
        at += 12 + length;
    }
}

QImage decodePng(QByteArrayView image)
{
    const QSize size = checkPngChunks(image);
    checkSides(size.width(), size.height());
    QImage decoded;
    if (!decoded.loadFromData(image, "PNG"))
        fail(QStringLiteral("its PNG image cannot be decoded"));
    if (decoded.size() != size)
        fail(QStringLiteral("its PNG image is damaged"));
    return decoded.convertToFormat(QImage::Format_ARGB32);
}

/// Reads the colour of pixel @p x from one colour row of a bitmap.
class RowReader
{
  public:
    RowReader(int bitCount, const QList<QRgb>& palette) : m_bitCount(bitCount), m_palette(palette)
    {
    }

    QRgb colour(const uchar* row, int x) const
    {
        switch (m_bitCount) {
        case 1:
            return indexed((row[x >> 3] >> (7 - (x & 7))) & 1);
        case 4:
            return indexed((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF);
        case 8:
            return indexed(row[x]);
        case 24:
            return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        default:
            return qRgba(row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]);
        }
    }

  private:
    QRgb indexed(int index) const
    {
        if (index >= m_palette.size())
            fail(QStringLiteral("its image uses a colour its colour table does not have"));
        return m_palette[index];
    }

    int m_bitCount;
    const QList<QRgb>& m_palette;
};

QImage decodeBitmap(QByteArrayView image)
{
    const std::optional<InfoHeader> header = readInfoHeader(image);
    if (!header)
        fail(QStringLiteral("its image header is truncated"));
    if (header->size < kInfoHeaderSize || qint64(header->size) > image.size() ||
        header->planes != 1)
        fail(QStringLiteral("its image header is damaged"));
    // The header's height counts the colour rows and the mask rows. Negative heights (top-down
    // rows) are not used by cursor files.
    if (header->height % 2 != 0)
        fail(QStringLiteral("its image header is damaged"));
    const qint64 width = header->width;
    const qint64 height = header->height / 2;
    checkSides(width, height);
    if (header->compression != kCompressionNone)
        fail(QStringLiteral("its image is compressed, which cursor files do not allow"));
    const int bitCount = header->bitCount;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        fail(QStringLiteral("its image has an unsupported colour depth of %1 bits").arg(bitCount));

    // Deeper images may still carry a colour table (a palette hint); it is skipped.
    const qint64 fullTable = bitCount <= 8 ? (qint64(1) << bitCount) : 256;
    const qint64 tableSize =
        header->coloursUsed == 0 ? (bitCount <= 8 ? fullTable : 0) : qint64(header->coloursUsed);
    if (tableSize > fullTable)
        fail(QStringLiteral("its colour table is too large"));

    const qint64 colourStride = rowBytes(width, bitCount);
    const qint64 maskStride = rowBytes(width, 1);
    const qint64 tableAt = header->size;
    const qint64 colourAt = tableAt + 4 * tableSize;
    const qint64 maskAt = colourAt + colourStride * height;
    // 32-bit images carry their transparency in the alpha bytes, and some writers leave the
    // mask out; every other depth needs it.
    const bool hasMask = maskAt + maskStride * height <= image.size();
    if ((bitCount == 32 ? maskAt : maskAt + maskStride * height) > image.size())
        fail(QStringLiteral("its image is truncated"));

    const auto* bytes = reinterpret_cast<const uchar*>(image.data());
    QList<QRgb> palette;
    for (qint64 i = 0; i < tableSize; ++i) {
        const uchar* c = bytes + tableAt + 4 * i;
        palette.append(qRgb(c[2], c[1], c[0]));
    }

    bool hasAlpha = false;
    if (bitCount == 32) {
        for (qint64 i = colourAt + 3; i < maskAt && !hasAlpha; i += 4)
            hasAlpha = bytes[i] != 0;
    }

    const RowReader reader(bitCount, palette);
    QImage decoded(int(width), int(height), QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom-up.
        const qint64 stored = height - 1 - y;
        const uchar* colours = bytes + colourAt + stored * colourStride;
        const uchar* mask = hasMask ? bytes + maskAt + stored * maskStride : nullptr;
        auto* line = reinterpret_cast<QRgb*>(decoded.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb colour = reader.colour(colours, x);
            if (hasAlpha) {
                line[x] = colour;
                continue;
            }
            // A set mask bit is transparent; over a non-black colour it would invert the
            // screen, which an ARGB pointer cannot show, so it stays transparent.
            const bool transparent = mask && ((mask[x >> 3] >> (7 - (x & 7))) & 1);
            line[x] = transparent ? qRgba(0, 0, 0, 0) : (colour | 0xff000000u);
        }
    }
    return decoded;
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
    const QByteArray name = QFile::encodeName(path);
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
    cursor.image = isPng(image) ? decodePng(image) : decodeBitmap(image);
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
