#pragma once

#include <QImage>
#include <QPoint>

/// The pointer shown over the program's buttons: a white hand with a black outline pointing up
/// with its index finger, on a transparent 32 by 32 image.
struct HandPointer
{
    QImage image;   ///< ARGB32, 32 by 32 pixels
    QPoint hotSpot; ///< the tip of the index finger
};

/// Draws the hand pointer.
HandPointer drawHandPointer();
