#include "HandPointer.h"

#include <array>

namespace {

constexpr int kSide = 32;
/// Where the drawing's top-left corner lies on the pointer image.
constexpr QPoint kOrigin(6, 2);

/// The hand, pixel by pixel: '#' outline, '*' the outline pixel that points (the hot spot),
/// 'o' inside, '.' transparent.
constexpr std::array<const char*, 22> kHand{{
    ".....*#..........", "....#oo#.........", "....#oo#.........", "....#oo#.........",
    "....#oo#.........", "....#oo###.......", "....#oo#oo###....", "....#oo#oo#oo##..",
    "....#oo#oo#oo#o#.", ".##.#oo#oo#oo#oo#", "#oo##oo#oo#oo#oo#", "#ooo#ooooooooooo#",
    ".#oooooooooooooo#", "..#ooooooooooooo#", "..#ooooooooooooo#", "...#oooooooooooo#",
    "...#ooooooooooo#.", "....#oooooooooo#.", "....#oooooooooo#.", ".....#oooooooo#..",
    ".....#oooooooo#..", ".....##########..",
}};

} // namespace

HandPointer drawHandPointer()
{
    HandPointer hand{QImage(kSide, kSide, QImage::Format_ARGB32), QPoint()};
    hand.image.fill(Qt::transparent);
    for (int y = 0; y < int(kHand.size()); ++y) {
        for (int x = 0; kHand[y][x]; ++x) {
            const QPoint at = kOrigin + QPoint(x, y);
            switch (kHand[y][x]) {
            case '*':
                hand.hotSpot = at;
                [[fallthrough]];
            case '#':
                hand.image.setPixel(at, qRgb(0, 0, 0));
                break;
            case 'o':
                hand.image.setPixel(at, qRgb(255, 255, 255));
                break;
            }
        }
    }
    return hand;
}
