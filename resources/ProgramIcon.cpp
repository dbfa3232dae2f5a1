#include "resources/ProgramIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPolygonF>
#include <QtMath>
#include <algorithm>
#include <array>
#include <map>

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

namespace {

constexpr int kDrawnSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The icon at one of the drawn sizes, drawn when first asked for and kept.
const QImage& drawnOnce(int pixels)
{
    static std::map<int, QImage> drawn;
    auto& image = drawn[pixels];
    if (image.isNull())
        image = drawProgramIcon(pixels);
    return image;
}

// Draws only the sizes that are asked for: at start-up the window and the tray want the
// small ones, and drawing the large ones is the dearest part.
class DrawnIconEngine final : public QIconEngine
{
  public:
    explicit DrawnIconEngine(int largest) : m_largest(largest) {}

    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int wanted = std::max(size.width(), size.height());
        if (wanted <= 0)
            return {};
        int pixels = 0; // the smallest drawn size that covers the wanted one, or the largest
        for (int drawn : kDrawnSizes)
            if (drawn <= m_largest && pixels < wanted)
                pixels = drawn;
        const QPixmap picture = QPixmap::fromImage(drawnOnce(pixels));
        // Scaled down to a size in between; never blown up beyond the largest.
        return pixels <= wanted
                   ? picture
                   : picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min({size.width(), size.height(), m_largest});
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int drawn : kDrawnSizes)
            if (drawn <= m_largest)
                sizes << QSize(drawn, drawn);
        return sizes;
    }

    QIconEngine* clone() const override { return new DrawnIconEngine(m_largest); }
    QString key() const override { return QStringLiteral("pingora-drawn"); }

  private:
    int m_largest;
};

} // namespace

QIcon programIcon(int largest)
{
    // The icon theme is not consulted: loading it costs more start-up time than drawing, for
    // the same picture.
    return QIcon(new DrawnIconEngine(largest));
}
