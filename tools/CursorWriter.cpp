#include "CursorWriter.h"

#include "appearance/CursorFormat.h"

using namespace CursorFormat;

QByteArray encodeCursorFile(const QImage& image, QPoint hotSpot)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int width = argb.width();
    const int height = argb.height();
    const qint64 colourStride = rowBytes(width, 32);
    const qint64 maskStride = rowBytes(width, 1);

    InfoHeader header;
    header.width = width;
    header.height = 2 * height;
    header.bitCount = 32;
    header.imageSize = quint32((colourStride + maskStride) * height);

    Entry entry;
    entry.width = quint8(width); // 256 is stored as 0
    entry.height = quint8(height);
    entry.hotX = quint16(hotSpot.x());
    entry.hotY = quint16(hotSpot.y());
    entry.byteCount = quint32(kInfoHeaderSize + header.imageSize);
    entry.offset = quint32(kDirectorySize + kEntrySize);

    QByteArray file;
    append(file, Directory{0, kTypeCursor, 1});
    append(file, entry);
    append(file, header);
    // Both masks run bottom-up.
    for (int y = height - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const char bgra[] = {char(qBlue(line[x])), char(qGreen(line[x])), char(qRed(line[x])),
                                 char(qAlpha(line[x]))};
            file.append(bgra, 4);
        }
    }
    for (int y = height - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < width; ++x)
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        file.append(row);
    }
    return file;
}
