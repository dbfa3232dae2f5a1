// Prints the text of every balloon notice and tooltip on show, as the notification area shows
// them: "balloon: <text>" or "tip: <text>", UTF-8, one a line, with the text's line breaks as
// "\n". Wine's shell draws both as tooltip windows of its own process, whose window text is what
// they show. (A balloon's title cannot be read: Wine's tooltips do not answer TTM_GETTITLE.)
#include <windows.h>

#include <commctrl.h>
#include <cstdio>
#include <string>

namespace {

BOOL CALLBACK printIfTooltip(HWND window, LPARAM)
{
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpiW(className, TOOLTIPS_CLASSW) != 0 || !IsWindowVisible(window))
        return TRUE;
    wchar_t text[512] = {};
    SendMessageW(window, WM_GETTEXT, 512, LPARAM(text));
    std::string line = GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON ? "balloon: " : "tip: ";
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
    EnumWindows(printIfTooltip, 0);
    std::fflush(stdout);
    return 0;
}
