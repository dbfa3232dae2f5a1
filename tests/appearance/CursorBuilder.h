#pragma once

#include "appearance/CursorFormat.h"

#include <QBuffer>
#include <QImage>
#include <QList>
#include <QPoint>

/// Builds cursor files of every kind the reader accepts, to test it with known pixels.
namespace CursorBuilder {

/// A bitmap image of @p source at @p bitCount bits: header, colour table, colour rows and AND
/// mask. Fully transparent source pixels are set in the mask. At 8 bits and fewer every opaque
/// pixel's colour must be in @p palette. At 32 bits @p withAlpha writes the source's alpha,
/// otherwise zero alpha bytes, leaving transparency to the mask; @p withMask false leaves the
/// mask out.
inline QByteArray bitmap(const QImage& source, int bitCount, const QList<QRgb>& palette = {},
                         bool withAlpha = false, bool withMask = true)
{
    using namespace CursorFormat;
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    CursorFormat::InfoHeader header;
    header.width = width;
    header.height = 2 * height;
    header.bitCount = quint16(bitCount);
    header.coloursUsed = quint32(palette.size());
    QByteArray out;
    append(out, header);
    for (QRgb c : palette) {
        const char bgr0[] = {char(qBlue(c)), char(qGreen(c)), char(qRed(c)), 0};
        out.append(bgr0, 4);
    }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(rowBytes(width, bitCount), '\0');
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = image.pixel(x, y);
            const int index = qAlpha(pixel) == 0 ? 0 : int(palette.indexOf(pixel | 0xff000000u));
            switch (bitCount) {
            case 1:
                row[x / 8] = char(row[x / 8] | (index << (7 - x % 8)));
                break;
            case 4:
                row[x / 2] = char(row[x / 2] | (index << (x % 2 ? 0 : 4)));
                break;
            case 8:
                row[x] = char(index);
                break;
            case 24:
                row[3 * x] = char(qBlue(pixel));
                row[3 * x + 1] = char(qGreen(pixel));
                row[3 * x + 2] = char(qRed(pixel));
                break;
            case 32:
                row[4 * x] = char(qBlue(pixel));
                row[4 * x + 1] = char(qGreen(pixel));
                row[4 * x + 2] = char(qRed(pixel));
                row[4 * x + 3] = char(withAlpha ? qAlpha(pixel) : 0);
                break;
            }
        }
        out.append(row);
    }
    for (int y = height - 1; withMask && y >= 0; --y) {
        QByteArray row(rowBytes(width, 1), '\0');
        for (int x = 0; x < width; ++x)
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out.append(row);
    }
    return out;
}

/// @p source as a PNG stream.
inline QByteArray png(const QImage& source)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    source.save(&buffer, "PNG");
    return out;
}

/// @p png with the checksum of every chunk made right again, so that damage done to its
/// contents reaches the image decoder.
inline QByteArray rechecksummed(QByteArray png)
{
    const auto crc32 = [](QByteArrayView bytes) {
        quint32 crc = 0xffffffffu;
        for (char byte : bytes) {
            crc ^= quint8(byte);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
        }
        return ~crc;
    };
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const qsizetype length = qFromBigEndian<quint32>(png.constData() + at);
        if (at + 12 + length > png.size())
            break;
        qToBigEndian(crc32(QByteArrayView(png).sliced(at + 4, 4 + length)),
                     png.data() + at + 8 + length);
        at += 12 + length;
    }
    return png;
}

/// One image of a cursor file: its bytes, its hot spot and the side stored in its entry.
struct Image
{
    QByteArray bytes;
    QPoint hotSpot;
    int side = 32;
};

/// A cursor file holding @p images in this order.
inline QByteArray file(const QList<Image>& images)
{
    using namespace CursorFormat;
    QByteArray out;
    append(out, Directory{0, kTypeCursor, quint16(images.size())});
    quint32 offset = quint32(kDirectorySize + kEntrySize * images.size());
    for (const Image& image : images) {
        Entry entry;
        entry.width = quint8(image.side);
        entry.height = quint8(image.side);
        entry.hotX = quint16(image.hotSpot.x());
        entry.hotY = quint16(image.hotSpot.y());
        entry.byteCount = quint32(image.bytes.size());
        entry.offset = offset;
        append(out, entry);
        offset += entry.byteCount;
    }
    for (const Image& image : images)
        out.append(image.bytes);
    return out;
}

} // namespace CursorBuilder
