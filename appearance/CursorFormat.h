#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtEndian>
#include <optional>

/// The layout of a Windows cursor file (.cur), shared by the program's reader and the tool that
/// writes the hand pointer, so that both agree byte for byte.
///
/// A cursor file is a directory (Directory), one Entry per image, and the images themselves.
/// An image is either a PNG stream or a device-independent bitmap: an InfoHeader, a colour table
/// for depths of 8 bits and fewer, the colour rows (XOR mask) and a one-bit AND mask whose set
/// bits are transparent. Both bitmaps run bottom-up, each row padded to four bytes, and the
/// header's height counts both masks, so it is twice the image height. All numbers are
/// little-endian.
namespace CursorFormat {

/// Directory type of an icon file (.ico), which looks like a cursor file but has no hot spot.
inline constexpr quint16 kTypeIcon = 1;
/// Directory type of a cursor file.
inline constexpr quint16 kTypeCursor = 2;

inline constexpr qsizetype kDirectorySize = 6;
inline constexpr qsizetype kEntrySize = 16;
inline constexpr qsizetype kInfoHeaderSize = 40;
/// Compression value of uncompressed colour rows.
inline constexpr quint32 kCompressionNone = 0;
/// A PNG image starts with this signature instead of an InfoHeader.
inline constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
inline constexpr qsizetype kPngSignatureSize = 8;

/// The file header.
struct Directory
{
    quint16 reserved = 0;
    quint16 type = kTypeCursor;
    quint16 count = 0;
};

/// One image of the file. Width and height 0 mean 256.
struct Entry
{
    quint8 width = 0;
    quint8 height = 0;
    quint8 colourCount = 0;
    quint8 reserved = 0;
    quint16 hotX = 0;
    quint16 hotY = 0;
    quint32 byteCount = 0;
    quint32 offset = 0;
};

/// The BITMAPINFOHEADER that starts a bitmap image.
struct InfoHeader
{
    quint32 size = kInfoHeaderSize;
    qint32 width = 0;
    qint32 height = 0; ///< colour rows plus mask rows
    quint16 planes = 1;
    quint16 bitCount = 0;
    quint32 compression = kCompressionNone;
    quint32 imageSize = 0;
    qint32 xPixelsPerMetre = 0;
    qint32 yPixelsPerMetre = 0;
    quint32 coloursUsed = 0;
    quint32 coloursImportant = 0;
};

/// Bytes in one bitmap row of @p width pixels at @p bitCount bits, padded to four bytes.
inline qint64 rowBytes(qint64 width, int bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

namespace detail {
template <typename T> T get(QByteArrayView data, qsizetype at)
{
    return qFromLittleEndian<T>(data.data() + at);
}
template <typename T> void put(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian<T>(value, bytes);
    out.append(bytes, sizeof(T));
}
inline bool fits(QByteArrayView data, qsizetype at, qsizetype size)
{
    return at >= 0 && size >= 0 && at <= data.size() && size <= data.size() - at;
}
} // namespace detail

/// The directory at the start of @p data, or nothing when the data is too short.
inline std::optional<Directory> readDirectory(QByteArrayView data)
{
    if (!detail::fits(data, 0, kDirectorySize))
        return std::nullopt;
    return Directory{detail::get<quint16>(data, 0), detail::get<quint16>(data, 2),
                     detail::get<quint16>(data, 4)};
}

/// Entry number @p index (from 0), or nothing when the data ends before it.
inline std::optional<Entry> readEntry(QByteArrayView data, int index)
{
    const qsizetype at = kDirectorySize + qsizetype(index) * kEntrySize;
    if (index < 0 || !detail::fits(data, at, kEntrySize))
        return std::nullopt;
    const auto byte = [&](qsizetype i) { return quint8(data[at + i]); };
    return Entry{byte(0),
                 byte(1),
                 byte(2),
                 byte(3),
                 detail::get<quint16>(data, at + 4),
                 detail::get<quint16>(data, at + 6),
                 detail::get<quint32>(data, at + 8),
                 detail::get<quint32>(data, at + 12)};
}

/// The bitmap header at the start of @p image, or nothing when the image is too short.
inline std::optional<InfoHeader> readInfoHeader(QByteArrayView image)
{
    if (!detail::fits(image, 0, kInfoHeaderSize))
        return std::nullopt;
    using detail::get;
    return InfoHeader{get<quint32>(image, 0),  get<qint32>(image, 4),   get<qint32>(image, 8),
                      get<quint16>(image, 12), get<quint16>(image, 14), get<quint32>(image, 16),
                      get<quint32>(image, 20), get<qint32>(image, 24),  get<qint32>(image, 28),
                      get<quint32>(image, 32), get<quint32>(image, 36)};
}

inline void append(QByteArray& out, const Directory& d)
{
    detail::put(out, d.reserved);
    detail::put(out, d.type);
    detail::put(out, d.count);
}

inline void append(QByteArray& out, const Entry& e)
{
    out.append(char(e.width));
    out.append(char(e.height));
    out.append(char(e.colourCount));
    out.append(char(e.reserved));
    detail::put(out, e.hotX);
    detail::put(out, e.hotY);
    detail::put(out, e.byteCount);
    detail::put(out, e.offset);
}

inline void append(QByteArray& out, const InfoHeader& h)
{
    using detail::put;
    put(out, h.size);
    put(out, h.width);
    put(out, h.height);
    put(out, h.planes);
    put(out, h.bitCount);
    put(out, h.compression);
    put(out, h.imageSize);
    put(out, h.xPixelsPerMetre);
    put(out, h.yPixelsPerMetre);
    put(out, h.coloursUsed);
    put(out, h.coloursImportant);
}

} // namespace CursorFormat
