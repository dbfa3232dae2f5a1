#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>

/// A Windows cursor file (.cur) holding @p image, at most 256 by 256 pixels, as one 32-bit
/// bitmap with its AND mask, which marks the fully transparent pixels for readers that ignore
/// alpha; @p hotSpot is the pixel that points.
QByteArray encodeCursorFile(const QImage& image, QPoint hotSpot);
