#include "resources/ProgramIcon.h"

#include <QPainter>
#include <QPolygonF>
#include <QtMath>
#include <array>
#include <vector>

namespace {

/// The design grid of the icon; pingora.svg uses the same coordinates.
constexpr qreal kGrid = 256;

/// The W is four strokes, each a parallelogram with level ends, given by the centre of its
/// top and bottom ends on the design grid.
struct Stroke
{
    qreal topX, topY, bottomX, bottomY;
};
constexpr qreal kStrokeWidth = 32;
constexpr std::array<Stroke, 4> kStrokes{{
    {52, 56, 92, 200},
    {128, 88, 92, 200},
    {128, 88, 164, 200},
    {204, 56, 164, 200},
}};

/// At 16 pixels no drawn W keeps its strokes even, so its pixels are placed by hand
/// ('W' letter, '.' ground, frame around it).
constexpr std::array<const char*, 14> kLetter16{{
    "..............",
    "..............",
    ".WW........WW.",
    ".WW........WW.",
    ".WW...WW...WW.",
    "..WW..WW..WW..",
    "..WW.WWWW.WW..",
    "..WW.W..W.WW..",
    "..WWWW..WWWW..",
    "...WWW..WWW...",
    "...WW....WW...",
    "...WW....WW...",
    "..............",
    "..............",
}};

int frameWidth(int pixels)
{
    return qMax(1, qRound(pixels / 32.0));
}

void drawLetter(QPainter& painter, int pixels)
{
    painter.scale(pixels / kGrid, pixels / kGrid);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgb(kIconLetterColour));
    for (const Stroke& s : kStrokes) {
        const qreal half = kStrokeWidth / 2;
        painter.drawPolygon(QPolygonF{{
            {s.topX - half, s.topY},
            {s.topX + half, s.topY},
            {s.bottomX + half, s.bottomY},
            {s.bottomX - half, s.bottomY},
        }});
    }
}

/// Sets pixels of the W so that each stroke keeps one whole number of pixels across on every
/// row, and the right half mirrors the left: a drawn polygon without antialiasing would give
/// strokes of uneven width at these sizes.
void placeLetter(QImage& image)
{
    const int pixels = image.width();
    const qreal scale = pixels / kGrid;
    // Slightly thinner than the scaled stroke, which would close the gaps between strokes.
    const int width = qMax(2, pixels / 10);
    const auto set = [&](int x, int y) {
        image.setPixel(x, y, kIconLetterColour);
        image.setPixel(pixels - 1 - x, y, kIconLetterColour);
    };
    for (const Stroke& s : {kStrokes[0], kStrokes[1]}) {
        const qreal topY = s.topY * scale;
        const qreal bottomY = s.bottomY * scale;
        for (int y = qRound(topY); y < qRound(bottomY); ++y) {
            const qreal t = (y + 0.5 - topY) / (bottomY - topY);
            const qreal centre = (s.topX + t * (s.bottomX - s.topX)) * scale;
            const int left = qFloor(centre - width / 2.0 + 0.5);
            for (int x = left; x < left + width; ++x)
                set(x, y);
        }
    }
}

void placeLetter16(QImage& image)
{
    for (int y = 0; y < int(kLetter16.size()); ++y)
        for (int x = 0; kLetter16[y][x]; ++x)
            if (kLetter16[y][x] == 'W')
                image.setPixel(x + 1, y + 1, kIconLetterColour);
}

} // namespace

QImage drawProgramIcon(int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32);
    image.fill(kIconFrameColour);
    const int frame = frameWidth(pixels);
    {
        QPainter painter(&image);
        painter.fillRect(frame, frame, pixels - 2 * frame, pixels - 2 * frame,
                         QColor::fromRgb(kIconGroundColour));
        if (pixels > 32) {
            painter.setRenderHint(QPainter::Antialiasing);
            drawLetter(painter, pixels);
        }
    }
    if (pixels == 16)
        placeLetter16(image);
    else if (pixels <= 32)
        placeLetter(image);
    return image;
}

QIcon programIcon()
{
    // Drawn once: the window and the tray both ask for it at start-up. The icon theme is not
    // consulted: loading it costs more start-up time than drawing, for the same picture.
    static const std::vector<QImage> images = [] {
        std::vector<QImage> drawn;
        for (int pixels : {16, 22, 24, 32, 48, 64, 128, 256})
            drawn.push_back(drawProgramIcon(pixels));
        return drawn;
    }();
    QIcon icon;
    for (const QImage& image : images)
        icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}
