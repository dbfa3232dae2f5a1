#pragma once

#include <QByteArrayView>
#include <QImage>

// The two kinds of image a cursor file may hold, decoded for CursorFile.cpp. Each function
// takes the bytes of one image as its directory entry bounds them, and throws Failure with
// the reason when they are no usable image.

/// Whether the image is a PNG stream rather than a bitmap.
bool isPngImage(QByteArrayView image);

/// A PNG image, checked chunk by chunk before it is decoded; ARGB32.
QImage decodePngImage(QByteArrayView image);

/// A bitmap of 1, 4, 8, 24 or 32 bits per pixel with its AND mask; ARGB32.
QImage decodeBitmapImage(QByteArrayView image);
