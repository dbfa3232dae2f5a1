#include "appearance/CursorImages.h"

#include "appearance/CursorFile.h"
#include "appearance/CursorFormat.h"
#include "core/Failure.h"

#include <QtEndian>
#include <array>
#include <cstring>

using namespace CursorFormat;

namespace {

[[noreturn]] void fail(const QString& reason)
{
    throw Failure(reason);
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

} // namespace

bool isPngImage(QByteArrayView image)
{
    return image.size() >= kPngSignatureSize &&
           std::memcmp(image.data(), kPngSignature, kPngSignatureSize) == 0;
}

QImage decodePngImage(QByteArrayView image)
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

QImage decodeBitmapImage(QByteArrayView image)
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
