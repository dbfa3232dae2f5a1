#pragma once

#include <QByteArrayView>
#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QString>

/// The largest cursor file the program reads; real pointers are a few kilobytes.
inline constexpr qint64 kMaxCursorFileBytes = 1024 * 1024;
/// The largest width or height of a cursor image that a cursor file can describe.
inline constexpr int kMaxCursorSide = 256;

/// A pointer image with the pixel that points, as stored in a cursor file.
struct CursorImage
{
    QImage image;   ///< ARGB32, at most kMaxCursorSide pixels each way
    QPoint hotSpot; ///< always inside the image
};

/// Decodes the bytes of a Windows cursor file (.cur).
///
/// The image nearest to 32 by 32 pixels is taken, with the hot spot of its directory entry.
/// Images may be bitmaps of 1, 4, 8, 24 or 32 bits per pixel with their AND mask, or PNG.
/// @throws Failure whose description says why the bytes are no usable cursor.
CursorImage decodeCursorFile(QByteArrayView bytes);

/// Reads the cursor file at @p path into a pointer with its hot spot.
///
/// Only regular files of at most kMaxCursorFileBytes are read; folders, pipes and devices are
/// refused before they are opened, so the call never blocks. Needs a QGuiApplication.
/// @throws Failure naming the file and the reason it cannot be used.
QCursor readCursorFile(const QString& path);
