// Prints the text of every balloon notice on show, as the notification area shows it: UTF-8,
// one balloon a line, with the text's line breaks as "\n". Wine's shell draws a balloon as a
// tooltip window of its own process, whose window text is the balloon's text. (Its title cannot
// be read: Wine's tooltips do not answer TTM_GETTITLE.)
#include <windows.h>

#include <commctrl.h>
#include <cstdio>
#include <string>

namespace {

BOOL CALLBACK printIfBalloon(HWND window, LPARAM)
{
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpiW(className, TOOLTIPS_CLASSW) != 0 || !IsWindowVisible(window) ||
        !(GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON))
        return TRUE;
    wchar_t text[512] = {};
    SendMessageW(window, WM_GETTEXT, 512, LPARAM(text));
    std::string line;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c == L'\r')
            continue;
        if (*c == L'\n') {
            line += "\\n";
            continue;
        }
        char bytes[8];
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, c, 1, bytes, sizeof bytes, nullptr, nullptr);
        line.append(bytes, size > 0 ? size_t(size) : 0);
    }
    std::printf("%s\n", line.c_str());
    return TRUE;
}

} // namespace

int main()
{
    EnumWindows(printIfBalloon, 0);
    std::fflush(stdout);
    return 0;
}
