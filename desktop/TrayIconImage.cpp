#include "desktop/TrayIconImage.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace TrayIconImage {

namespace {
const QColor kGround(177, 255, 255);
const QColor kLetter(7, 162, 254);
const QColor kFrame(0, 0, 0);
} // namespace

QImage wImage(int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(kGround);

    QPainter painter(&image);
    // The 16-pixel picture keeps hard pixel edges; larger ones are smoothed.
    painter.setRenderHint(QPainter::Antialiasing, size > 16);
    const qreal unit = size / 16.0;

    // The W as one stroke through five points of a 16 x 16 grid.
    QPainterPath letter;
    letter.moveTo(3 * unit, 3.5 * unit);
    letter.lineTo(5.25 * unit, 12.5 * unit);
    letter.lineTo(8 * unit, 6 * unit);
    letter.lineTo(10.75 * unit, 12.5 * unit);
    letter.lineTo(13 * unit, 3.5 * unit);
    QPen pen(kLetter, 1.6 * unit, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawPath(letter);

    const int frame = qMax(1, size / 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kFrame);
    painter.drawRect(0, 0, size, frame);
    painter.drawRect(0, size - frame, size, frame);
    painter.drawRect(0, 0, frame, size);
    painter.drawRect(size - frame, 0, frame, size);
    return image;
}

QIcon wIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(wImage(size)));
    return icon;
}

} // namespace TrayIconImage
