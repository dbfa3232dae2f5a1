// Prints where a person clicks the main window's buttons, the start-up box and the interval
// list, as shell assignments of x and y in
// pixels within the window ("PushButton3_x=136 PushButton3_y=475"), from the window's layout,
// for the scripts that drive the window with xdotool.
#include "app/Form1Layout.h"

#include <cstdio>

int main()
{
    using namespace Form1Layout;
    const struct
    {
        const char* name;
        Point centre;
    } buttons[] = {
        {"PushButton5", centre(kPushButton5)},
        {"PushButton1", centre(kPushButton1, kFrame2)},
        {"PushButton4", centre(kPushButton4, kFrame2)},
        {"PushButton6", centre(kPushButton6)},
        {"PushButton3", centre(kPushButton3)},
        {"PushButton8", centre(kPushButton8)},
        {"PushButton11", centre(kPushButton11)},
        {"PushButton12", centre(kPushButton12)},
        {"Check4", centre(kCheck4, kFrame3)},
        {"ListView1", centre(kListView1)},
    };
    for (const auto& button : buttons)
        std::printf("%s_x=%d %s_y=%d\n", button.name, button.centre.x, button.name,
                    button.centre.y);
}
