#pragma once

/// Units of the window's layout: positions and sizes are designed in twips.
namespace Form1Layout {

/// Pixels at 96 dots per inch for @p twips (15 twips to the pixel); Qt scales for HiDPI.
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}

constexpr int kClientWidthTwips = 8040;
constexpr int kClientHeightTwips = 7950;

} // namespace Form1Layout
