#pragma once

/// The main window's layout, as designed in twips: the window, the e2e tests that click it
/// and the benchmarks all read it here.
namespace Form1Layout {

/// Pixels at 96 dots per inch for @p twips (15 twips to the pixel); Qt scales for HiDPI.
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}

/// A control's place in twips, within the window's client area or within its frame.
struct Place
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

constexpr int kClientWidthTwips = 8040;
constexpr int kClientHeightTwips = 7950;

constexpr Place kPushButton5{120, 120, 7800, 405};
constexpr Place kFrame1{120, 600, 7800, 855};
constexpr Place kProgressBar1{240, 300, 7305, 405}; // in Frame1
constexpr Place kFrame2{120, 1530, 7800, 1335};
constexpr Place kText2{240, 300, 7335, 345};        // in Frame2
constexpr Place kPushButton1{240, 750, 3600, 405};  // in Frame2
constexpr Place kPushButton4{3960, 750, 3600, 405}; // in Frame2
constexpr Place kFrame3{120, 2940, 7800, 735};
constexpr Place kCheck4{240, 300, 3930, 285};  // in Frame3
constexpr Place kCheck8{4320, 300, 2580, 285}; // in Frame3
constexpr Place kListView1{120, 3795, 7800, 2535};
constexpr Place kPushButton6{120, 6420, 7800, 405};
constexpr Place kPushButton3{120, 6930, 3840, 405};
constexpr Place kPushButton8{4080, 6930, 3840, 405};
constexpr Place kPushButton11{120, 7440, 3840, 405};
constexpr Place kPushButton12{4080, 7440, 3840, 405};

/// A point in pixels within the window's client area.
struct Point
{
    int x = 0;
    int y = 0;
};

/// The middle of the control at @p place, in pixels within the window's client area; @p frame
/// is the place of the frame that holds it, if any. Where a person clicks it.
constexpr Point centre(Place place, Place frame = {})
{
    return {px(frame.left) + px(place.left) + px(place.width) / 2,
            px(frame.top) + px(place.top) + px(place.height) / 2};
}

} // namespace Form1Layout
