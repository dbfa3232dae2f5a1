#pragma once

#include <QIcon>
#include <QImage>

/// Blue of the letter W.
inline constexpr QRgb kIconLetterColour = 0xff07a2fe;
/// Light cyan ground inside the frame.
inline constexpr QRgb kIconGroundColour = 0xffb1ffff;
/// The frame around the ground.
inline constexpr QRgb kIconFrameColour = 0xff000000;

/// Draws the program icon, a blue W on light cyan in a black frame, @p pixels wide and high.
///
/// Up to 32 pixels every pixel has exactly one of the three colours, so the icon stays sharp in
/// panels and title bars; the frame is one pixel wide there and grows with larger sizes, which
/// are drawn smoothly.
QImage drawProgramIcon(int pixels);

/// The program icon, drawn at 16, 22, 24, 32, 48, 64, 128 and 256 pixels (or those up to
/// @p largest): the same picture as the icon installed in the icon theme for menus.
QIcon programIcon(int largest = 256);
